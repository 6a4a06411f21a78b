// utf8.cpp - UTF-8 checks, decoding, lossy conversion and Unicode white space.
#include "utf8.hpp"

#include <cstdint>
#include <cstring>

namespace binscope {

namespace {

// Length of the well-formed sequence at p (avail bytes there), or minus the
// length of its maximal ill-formed part.
int sequence_length(const unsigned char* p, std::size_t avail) {
    const unsigned char b0 = p[0];
    if (b0 < 0x80) return 1;
    int need;
    unsigned char lo = 0x80;
    unsigned char hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
    } else if (b0 == 0xE0) {
        need = 2;
        lo = 0xA0;
    } else if (b0 == 0xED) {
        need = 2;
        hi = 0x9F;
    } else if (b0 >= 0xE1 && b0 <= 0xEF) {
        need = 2;
    } else if (b0 == 0xF0) {
        need = 3;
        lo = 0x90;
    } else if (b0 == 0xF4) {
        need = 3;
        hi = 0x8F;
    } else if (b0 >= 0xF1 && b0 <= 0xF3) {
        need = 3;
    } else {
        return -1;
    }
    for (int i = 1; i <= need; ++i) {
        if (static_cast<std::size_t>(i) >= avail) return -i;
        if (p[i] < lo || p[i] > hi) return -i;
        lo = 0x80;
        hi = 0xBF;
    }
    return need + 1;
}

// The code point of a well-formed sequence of length len at p.
char32_t decode(const unsigned char* p, int len) {
    switch (len) {
        case 1: return p[0];
        case 2: return (char32_t{p[0] & 0x1Fu} << 6) | (p[1] & 0x3Fu);
        case 3: return (char32_t{p[0] & 0x0Fu} << 12) | (char32_t{p[1] & 0x3Fu} << 6) | (p[2] & 0x3Fu);
        default:
            return (char32_t{p[0] & 0x07u} << 18) | (char32_t{p[1] & 0x3Fu} << 12) | (char32_t{p[2] & 0x3Fu} << 6) |
                   (p[3] & 0x3Fu);
    }
}

bool is_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* end = p + text.size();
    while (p < end) {
        // Annotation text is almost all ASCII: skip it a word at a time.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if (word & 0x8080808080808080ull) break;
            p += 8;
        }
        while (p < end && *p < 0x80) ++p;
        if (p == end) break;
        const int len = sequence_length(p, static_cast<std::size_t>(end - p));
        if (len < 0) return false;
        p += len;
    }
    return true;
}

std::size_t utf8_sequence(std::string_view text, std::size_t at, char32_t& cp) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + at;
    const int len = sequence_length(p, text.size() - at);
    if (len < 0) return 0;
    cp = decode(p, len);
    return static_cast<std::size_t>(len);
}

std::string to_utf8_lossy(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t i = 0;
    while (i < text.size()) {
        const int len = sequence_length(p + i, text.size() - i);
        if (len > 0) {
            out.append(text.substr(i, static_cast<std::size_t>(len)));
            i += static_cast<std::size_t>(len);
        } else {
            out += "\xEF\xBF\xBD";
            i += static_cast<std::size_t>(-len);
        }
    }
    return out;
}

namespace detail {

std::size_t wide_space_length_at(std::string_view text, std::size_t pos) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + pos;
    const int len = sequence_length(p, text.size() - pos);
    if (len < 0) return 0;
    return is_space(decode(p, len)) ? static_cast<std::size_t>(len) : 0;
}

std::string_view trim_space_slow(std::string_view text) {
    std::size_t n;
    while ((n = space_length_at(text, 0)) != 0) text.remove_prefix(n);
    while (!text.empty()) {
        // Step back to the first byte of the last character.
        std::size_t start = text.size() - 1;
        while (start > 0 && text.size() - start < 4 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) {
            --start;
        }
        n = space_length_at(text, start);
        if (n == 0 || start + n != text.size()) break;
        text.remove_suffix(n);
    }
    return text;
}

}  // namespace detail

}  // namespace binscope
