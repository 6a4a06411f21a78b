// matrix.hpp - the gzipped matrix file: JSON header line and region rows.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "error.hpp"
#include "matrix/matrix.hpp"
#include "params.hpp"

namespace binscope {

Status write_matrix_file(const std::string& path, const Matrix& matrix, const std::vector<std::string>& sample_labels,
                         const Params& params);

// Puts rows [begin, end) of the file into `batch` (its values, cols, and
// one region per row through row_regions), replacing what it held. Called
// for consecutive ranges, begin increasing from 0, one call at a time.
using RowBatchSource = std::function<Status(std::size_t begin, std::size_t end, Matrix& batch)>;

// The rows' layout, known before the rows are: the header line, the row
// count and the column count.
struct StreamedMatrix {
    std::string header_line;
    std::size_t rows = 0;
    std::size_t cols = 0;
};

// The same file as write_matrix_file, byte for byte, from rows fetched a
// batch at a time: a few batches are held at once, whatever the row
// count. The first error of `source` is returned (the file is then
// incomplete); `threads` format and compress.
Status write_matrix_stream(const std::string& path, const StreamedMatrix& layout, std::size_t threads, bool quiet,
                           const RowBatchSource& source);

}  // namespace binscope
