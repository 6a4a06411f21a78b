// matrix_file.hpp - reading a gzipped matrix file (whoever wrote it) back
// into a Matrix: the header's keys and every row, values exactly as written.
#pragma once

#include <cstddef>
#include <string>

#include "error.hpp"
#include "matrix/matrix.hpp"
#include "matrix_file/header_json.hpp"

namespace binscope {

// A matrix read from a file. In `matrix`: the values (rows x cols), one
// region per row in file order (row_regions is 0, 1, 2, ...), the groups
// named by the header's group labels with each region's group index set
// from the group boundaries, the group boundaries and the sample labels.
// A region's score is the text of the row's fifth column.
//
// A caller that never looks at a row's region may have the regions only
// checked: every row's six region columns are read and checked as always,
// with the same errors, but no region is kept. The matrix's region set then
// holds the group names alone (row_regions is still 0, 1, 2, ...), and
// Matrix::region must not be called; this spares a large matrix the
// regions' memory, some 80 bytes a row.
enum class MatrixRegions { kept, checked };

struct MatrixFile {
    MatrixHeader header;
    Matrix matrix;
};

// Reads the file at `path`, parsing rows on `threads` worker threads; the
// result does not depend on the thread count. Errors name the file and,
// for a row, its line number.
Result<MatrixFile> read_matrix_file(const std::string& path, std::size_t threads,
                                    MatrixRegions regions = MatrixRegions::kept);

}  // namespace binscope
