// utf8.cpp - strict UTF-8 decoding.
#include "bigwig/utf8.hpp"

namespace binscope::bigwig {

std::size_t utf8_sequence(std::string_view text, std::size_t at, char32_t& cp) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char b0 = byte(at);
    if (b0 < 0x80) {
        cp = b0;
        return 1;
    }
    std::size_t len = 0;
    char32_t min = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2, min = 0x80, cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, min = 0x800, cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, min = 0x10000, cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < len) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        unsigned char b = byte(at + i);
        if ((b & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return len;
}

bool is_valid_utf8(std::string_view text) {
    char32_t cp = 0;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n = utf8_sequence(text, i, cp);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

}  // namespace binscope::bigwig
