// small_text.cpp - the in-place and heap forms of a small text.
#include "small_text.hpp"

#include <cstring>
#include <ostream>

namespace binscope {

SmallText::SmallText(std::string_view text) {
    if (text.size() <= kInlineMax) {
        set_inline(text);
        return;
    }
    // operator new aligns to at least 8 bytes, so the address is even.
    char* room = new char[sizeof(std::size_t) + text.size()];
    const std::size_t size = text.size();
    std::memcpy(room, &size, sizeof size);
    std::memcpy(room + sizeof size, text.data(), size);
    const auto word = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(room));
    std::memset(bytes_, 0, sizeof bytes_);
    std::memcpy(bytes_ + kWordByte, &word, sizeof word);
}

SmallText::SmallText(SmallText&& other) noexcept {
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.set_inline({});
}

SmallText& SmallText::operator=(const SmallText& other) {
    if (this != &other) *this = SmallText(other);
    return *this;
}

SmallText& SmallText::operator=(SmallText&& other) noexcept {
    if (this == &other) return *this;
    release();
    std::memcpy(bytes_, other.bytes_, sizeof bytes_);
    other.set_inline({});
    return *this;
}

std::string_view SmallText::view() const noexcept {
    if (is_inline()) return {reinterpret_cast<const char*>(bytes_) + kTextByte, std::size_t{bytes_[kTagByte]} >> 1};
    const char* room = heap();
    std::size_t size = 0;
    std::memcpy(&size, room, sizeof size);
    return {room + sizeof size, size};
}

void SmallText::set_inline(std::string_view text) noexcept {
    std::memset(bytes_, 0, sizeof bytes_);
    bytes_[kTagByte] = static_cast<unsigned char>(text.size() << 1 | 1);
    if (!text.empty()) std::memcpy(bytes_ + kTextByte, text.data(), text.size());
}

const char* SmallText::heap() const noexcept {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes_ + kWordByte, sizeof word);
    return reinterpret_cast<const char*>(static_cast<std::uintptr_t>(word));
}

void SmallText::release() noexcept {
    if (!is_inline()) delete[] heap();
    set_inline({});
}

std::ostream& operator<<(std::ostream& out, const SmallText& text) { return out << text.view(); }

}  // namespace binscope
