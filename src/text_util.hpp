// text_util.hpp - small text helpers shared by the command line, the run
// parameters and the region readers: ASCII case folding, tab splitting and
// decimal integers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "error.hpp"

namespace binscope {

// text with the ASCII letters A-Z turned into a-z, other bytes unchanged.
std::string ascii_lower(std::string_view text);
// text with the ASCII letters a-z turned into A-Z, other bytes unchanged.
std::string ascii_upper(std::string_view text);

// Hashes std::string and std::string_view alike, so that a lookup in a
// table of strings by a view needs no copy.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

// True when text is the lower-case word `lower` up to ASCII case.
inline bool equals_ignore_case(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return true;
}

// Splits line on '\t' into at most N fields and returns how many it filled.
// Empty fields count. When the line has more than N fields, the last one
// filled ends at the next tab and the count is N.
template <std::size_t N>
std::size_t split_tabs(std::string_view line, std::array<std::string_view, N>& fields) {
    std::size_t count = 0;
    std::size_t pos = 0;
    while (count < N) {
        const std::size_t tab = line.find('\t', pos);
        if (tab == std::string_view::npos) {
            fields[count++] = line.substr(pos);
            break;
        }
        fields[count++] = line.substr(pos, tab - pos);
        pos = tab + 1;
    }
    return count;
}

// Which fault a decimal text with both a bad character and too many digits
// reports: the one met first reading from the left (region files), or the
// bad character wherever it stands (the command line).
enum class DigitCheck { in_order, whole_text_first };

// A decimal Int (std::int64_t or std::size_t): an optional '+' (or '-'
// for a signed Int) and one or more digits, nothing else. Errors: "cannot
// parse integer from empty string", "invalid digit found in string",
// "number too large to fit in target type", "number too small to fit in
// target type".
template <class Int>
Result<Int> parse_integer(std::string_view text, DigitCheck check = DigitCheck::in_order);

// The signed 64-bit decimal of coordinate columns.
Result<std::int64_t> parse_int64(std::string_view text);

}  // namespace binscope
