// matrix.hpp - the score matrix: one flat row-major array of 32-bit floats
// with the region of every row and the group and sample headings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "region.hpp"

namespace binscope {

struct Matrix {
    std::vector<float> values;  // rows x cols, row-major
    std::size_t cols = 0;
    std::vector<Region> regions;  // one per row
    std::vector<std::size_t> group_boundaries{0, 0};
    std::vector<std::string> group_names;
    std::vector<std::string> sample_labels;
    std::size_t no_data_rows = 0;

    std::size_t rows() const { return regions.size(); }
    const float* row(std::size_t r) const { return values.data() + r * cols; }
};

// [0, i1, ..., rows]: each inner entry is the first row of a new group.
std::vector<std::size_t> compute_group_boundaries(const std::vector<Region>& regions);

}  // namespace binscope
