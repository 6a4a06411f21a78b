// view_test_matrix.hpp - a matrix file of a known pattern for the `view`
// tests: rows in two groups, two samples of four bins.
#pragma once

#include <cstddef>
#include <string>

namespace binscope::testing {

// Rows [0, rows / 2) are group "first", the rest group "second". Sample
// "rows" holds the row's index in each of its 4 bins; sample "bins" holds
// the bin's index (0-3), missing (nan) in bin 0 of every tenth row. Region
// r is chr1:1000r-1000r+500, named "region_r" but for row 3, which is
// named "<script>alert(1)</script>"; strands alternate + and -.
// `extra_cols` more bins of noise in a third sample "noise" (0 for none)
// make k-means slow on large files.
void write_view_test_matrix(const std::string& path, std::size_t rows, std::size_t extra_cols = 0);

// The name of row 3.
inline constexpr const char* kScriptName = "<script>alert(1)</script>";

}  // namespace binscope::testing
