// sorted_regions.hpp - the regions in final row order as BED12 plus group.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "error.hpp"
#include "matrix/matrix.hpp"

namespace binscope {

// The matrix's rows in their order, each labelled with its group.
Status write_sorted_regions(const std::string& path, const Matrix& matrix);

// The rows `row_order` (indexes of the matrix's rows) in that order, each
// labelled with the label of its drawn group: labels[g] for the rows
// [group_boundaries[g], group_boundaries[g + 1]) of `row_order`.
Status write_sorted_regions(const std::string& path, const Matrix& matrix, std::span<const std::size_t> row_order,
                            std::span<const std::size_t> group_boundaries, std::span<const std::string> labels);

}  // namespace binscope
