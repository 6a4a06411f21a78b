// figure_input.hpp - the data of a figure, in drawn order: the values of
// a matrix, the order of its rows, its groups and samples and their axes.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace binscope {

// A tick of a panel's x axis; `position` counts bins from the panel's
// left edge (0 to the bins of a sample).
struct AxisTick {
    double position = 0;
    std::string label;
};

struct FigureInput {
    std::span<const float> values;  // rows x cols, row-major, the file's row order
    std::size_t cols = 0;
    std::vector<std::size_t> row_order;         // drawn row i shows values row row_order[i]
    std::vector<std::size_t> group_boundaries;  // in drawn rows: [0, ..., rows]
    std::vector<std::string> group_labels;      // one per group
    std::vector<std::size_t> sample_boundaries; // [0, ..., cols]
    std::vector<std::string> sample_labels;     // one per sample
    std::vector<std::vector<AxisTick>> ticks;   // one list per sample

    std::size_t rows() const { return row_order.size(); }
};

}  // namespace binscope
