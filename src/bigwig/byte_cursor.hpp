// byte_cursor.hpp - bounds-checked decoding of numbers from a byte span in
// a file's byte order.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

#include "bigwig/format.hpp"

namespace binscope::bigwig {

// Reads fixed-width numbers front to back. Every read checks that the bytes
// are there first; a failed read leaves the cursor where it was.
class ByteCursor {
public:
    ByteCursor(std::span<const std::uint8_t> bytes, ByteOrder order) : bytes_(bytes), order_(order) {}

    std::size_t remaining() const { return bytes_.size() - pos_; }
    std::size_t position() const { return pos_; }

    bool u8(std::uint8_t& v) {
        if (remaining() < 1) return false;
        v = bytes_[pos_++];
        return true;
    }
    bool u16(std::uint16_t& v) { return number(v); }
    bool u32(std::uint32_t& v) { return number(v); }
    bool u64(std::uint64_t& v) { return number(v); }
    bool f32(float& v) {
        std::uint32_t bits = 0;
        if (!number(bits)) return false;
        v = std::bit_cast<float>(bits);
        return true;
    }
    // The next n bytes as a view into the underlying span.
    bool take(std::size_t n, std::span<const std::uint8_t>& out) {
        if (remaining() < n) return false;
        out = bytes_.subspan(pos_, n);
        pos_ += n;
        return true;
    }
    bool skip(std::size_t n) {
        if (remaining() < n) return false;
        pos_ += n;
        return true;
    }

private:
    template <class T>
    bool number(T& v) {
        if (remaining() < sizeof(T)) return false;
        T out = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            std::size_t k = order_ == ByteOrder::Little ? sizeof(T) - 1 - i : i;
            out = static_cast<T>((out << 8) | bytes_[pos_ + k]);
        }
        pos_ += sizeof(T);
        v = out;
        return true;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    ByteOrder order_;
};

}  // namespace binscope::bigwig
