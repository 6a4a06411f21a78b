// row_parser.hpp - one row line of a matrix file: six region columns, then
// the row's values.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "error.hpp"
#include "region.hpp"

namespace binscope {

// Parses `line` (without its "\n") into `region` (chromosome, blocks from
// the comma-separated starts and ends, name, the score's text, strand) and
// exactly `cols` values at `values`, each the 32-bit float its text reads
// as ("nan", "inf" and "-inf" included). The error says which field is
// wrong and why, without the line number.
Status parse_row(std::string_view line, std::size_t cols, float* values, Region& region);

// A field's text as an error message shows it: quoted, at most 40 bytes,
// anything but printable ASCII as '?'.
std::string shown_field(std::string_view text);

}  // namespace binscope
