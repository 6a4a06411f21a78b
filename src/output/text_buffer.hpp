// text_buffer.hpp - a growable byte buffer that numbers are formatted into
// in place, without zero-filling the room reserved for them.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

namespace binscope {

class TextBuffer {
public:
    // Makes room for `n` more bytes and returns where they start; the text
    // written there counts once `commit` is given its end.
    char* reserve(std::size_t n) {
        if (capacity_ - size_ < n) grow(n);
        return data_.get() + size_;
    }
    void commit(char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }

    void append(std::string_view text) {
        char* p = reserve(text.size());
        if (!text.empty()) std::memcpy(p, text.data(), text.size());
        size_ += text.size();
    }
    void append(char c) {
        *reserve(1) = c;
        ++size_;
    }

    std::string_view view() const { return {data_.get(), size_}; }
    std::size_t size() const { return size_; }
    void clear() { size_ = 0; }

private:
    void grow(std::size_t n) {
        std::size_t capacity = capacity_ < 4096 ? 4096 : capacity_ * 2;
        while (capacity - size_ < n) capacity *= 2;
        auto data = std::make_unique_for_overwrite<char[]>(capacity);
        if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
        data_ = std::move(data);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace binscope
