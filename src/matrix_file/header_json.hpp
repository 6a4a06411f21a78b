// header_json.hpp - the header line of a matrix file: its JSON keys read
// into a MatrixHeader and checked against each other.
#pragma once

#include <string_view>

#include "error.hpp"
#include "matrix_file/matrix_file.hpp"

namespace binscope {

// Reads the first line of a matrix file (without its "\n"): "@" and a JSON
// object. Keys may come in any order and unknown ones are ignored;
// "unscaled 5 prime" and "unscaled 3 prime" are zeros when absent. The
// boundaries and the per-sample arrays must agree with the labels; whether
// they agree with the rows is for the reader of the rows to check.
Result<MatrixHeader> parse_header_line(std::string_view line);

}  // namespace binscope
