// utf8.hpp - UTF-8 checks, decoding, lossy conversion and Unicode white
// space: for input lines, file names and score-file chromosome names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace binscope {

// True when text is well-formed UTF-8: no overlong forms, surrogates or
// values above U+10FFFF.
bool is_valid_utf8(std::string_view text);

// Length of the well-formed sequence starting at text[at] (1 to 4), its
// code point going to cp; 0 when the bytes there are not one.
std::size_t utf8_sequence(std::string_view text, std::size_t at, char32_t& cp);

// text with every ill-formed sequence (each maximal invalid part) replaced
// by U+FFFD.
std::string to_utf8_lossy(std::string_view text);

namespace detail {
std::size_t wide_space_length_at(std::string_view text, std::size_t pos);
std::string_view trim_space_slow(std::string_view text);
}  // namespace detail

// ASCII white space: blank, tab, line feed, vertical tab, form feed, return.
inline bool is_ascii_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Byte length of the Unicode white-space character starting at text[pos],
// or 0 when the character there is not white space.
inline std::size_t space_length_at(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) return 0;
    const auto c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) return is_ascii_space(c) ? 1 : 0;
    return detail::wide_space_length_at(text, pos);
}

// text without Unicode white space at either end.
inline std::string_view trim_space(std::string_view text) {
    // Annotation fields hold ASCII blanks if any: settle those here.
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && is_ascii_space(static_cast<unsigned char>(text[begin]))) ++begin;
    while (end > begin && is_ascii_space(static_cast<unsigned char>(text[end - 1]))) --end;
    text = text.substr(begin, end - begin);
    if (!text.empty() && (static_cast<unsigned char>(text.front()) >= 0x80 || static_cast<unsigned char>(text.back()) >= 0x80)) {
        return detail::trim_space_slow(text);
    }
    return text;
}

}  // namespace binscope
