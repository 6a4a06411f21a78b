// matrix_text.hpp - the text of the gzipped matrix file: the JSON header
// line and the row lines, formatted in batches ahead of compression.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "matrix/matrix.hpp"
#include "params.hpp"
#include "output/text_buffer.hpp"

namespace binscope {

// "@" + the compact JSON description of the run (keys in byte order) + "\n".
std::string matrix_header_line(const Matrix& matrix, const std::vector<std::string>& sample_labels,
                               const Params& params);

// The rows' side of a header: the group boundaries [0, ..., rows] and one
// label per group run, as a matrix's rows give them.
struct RowGroups {
    std::vector<std::size_t> boundaries{0, 0};
    std::vector<std::string> labels;
};

// The same line for rows known only by their groups (a matrix streamed
// from files).
std::string matrix_header_line(const RowGroups& groups, const std::vector<std::string>& sample_labels,
                               const Params& params);

// Appends the lines of rows [begin, end): six region columns, the score
// and the values, tab-separated. Rows are independent, so batches can be
// formatted anywhere and concatenated in order.
void append_matrix_rows(TextBuffer& out, const Matrix& matrix, std::size_t begin, std::size_t end);

// The row's score: the mean of its values that are numbers, as a 32-bit
// float; NaN when there are none.
float row_score(const float* values, std::size_t count);

}  // namespace binscope
