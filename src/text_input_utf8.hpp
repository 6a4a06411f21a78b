// text_input_utf8.hpp - UTF-8 checks, lossy conversion and Unicode white
// space, for input lines and file names.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace binscope {

// True when text is well-formed UTF-8.
bool is_valid_utf8(std::string_view text);

// text with every ill-formed sequence (each maximal invalid part) replaced
// by U+FFFD.
std::string to_utf8_lossy(std::string_view text);

// Byte length of the Unicode white-space character starting at text[pos],
// or 0 when the character there is not white space.
std::size_t space_length_at(std::string_view text, std::size_t pos);

// text without Unicode white space at either end.
std::string_view trim_space(std::string_view text);

}  // namespace binscope
