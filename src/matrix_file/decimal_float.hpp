// decimal_float.hpp - a float read from its decimal text, exactly as
// std::from_chars reads it, faster for the short plain decimals that
// matrix files are made of.
#pragma once

#include <charconv>

namespace binscope {

// The same as std::from_chars(first, last, value) in the general format:
// the same value bits, end pointer and error for every input. A plain
// decimal ("12", "-0.0123456") ending at `last` or at a tab is converted
// here; every other text goes to std::from_chars.
std::from_chars_result read_decimal_float(const char* first, const char* last, float& value);

}  // namespace binscope
