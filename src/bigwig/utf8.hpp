// utf8.hpp - strict UTF-8 decoding for chromosome names and quoted paths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace binscope::bigwig {

// Length of the well-formed UTF-8 sequence starting at text[at] (1 to 4),
// or 0 when the bytes there are not one; the code point goes to cp.
// Overlong forms, surrogates and values above U+10FFFF are not well-formed.
std::size_t utf8_sequence(std::string_view text, std::size_t at, char32_t& cp);

bool is_valid_utf8(std::string_view text);

}  // namespace binscope::bigwig
