// number_format.hpp - the number texts of the output files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace binscope {

// Room every writer below needs at `out`; the longest text is a subnormal
// or the largest float written out in full.
inline constexpr std::size_t kNumberTextMax = 64;

// The shortest decimal that reads back as the same 32-bit float, written
// positionally: "2", "0.1", "0.0000001", "-0", "nan", "inf", "-inf".
// Returns the end of the text.
char* write_float_shortest(char* out, float value);

// Four digits after the point, rounded half to even from the exact binary
// value: "1.5000", "-0.0000", "nan", "inf", "-inf".
char* write_float_fixed4(char* out, float value);

// Plain decimal with a leading '-' when negative.
char* write_int(char* out, std::int64_t value);

// A JSON number for a 64-bit float: positional with at least one digit
// after the point for decimal exponents -5 to 15 ("1.0", "0.00001"),
// otherwise "1e+16", "1.5e-7"; "null" for NaN and infinities.
std::string json_number(double value);

// Appends `text` as a JSON string literal, quotes included.
void append_json_string(std::string& out, std::string_view text);

}  // namespace binscope
