// matrix.cpp - row selection, the groups of the rows and their boundaries.
#include "matrix/matrix.hpp"

#include <algorithm>
#include <cmath>

namespace binscope {

namespace {

// Row i of `values` becomes old row order[i], for a permutation `order`:
// cycle by cycle, through one spare row, so that every row is copied once
// and no second matrix is needed.
void permute_rows(MatrixValues& values, std::size_t cols, std::span<const std::size_t> order) {
    const auto at = [&](std::size_t r) { return values.begin() + static_cast<std::ptrdiff_t>(r * cols); };
    std::vector<bool> placed(order.size());
    std::vector<float> spare(cols);
    for (std::size_t first = 0; first < order.size(); ++first) {
        if (placed[first] || order[first] == first) continue;
        std::copy_n(at(first), cols, spare.begin());
        std::size_t i = first;
        for (; order[i] != first; i = order[i]) {
            std::copy_n(at(order[i]), cols, at(i));
            placed[i] = true;
        }
        std::copy_n(spare.begin(), cols, at(i));
        placed[i] = true;
    }
}

}  // namespace

void Matrix::select_rows(std::span<const std::size_t> order) {
    // Strictly increasing: no two consecutive entries with b <= a.
    const bool increasing = std::ranges::is_sorted(order, std::ranges::less_equal{});
    const bool every_row = order.size() == rows();
    if (increasing && every_row) return;  // every row, in place
    const auto at = [this](std::size_t r) { return values.begin() + static_cast<std::ptrdiff_t>(r * cols); };
    std::vector<std::size_t> picked;
    picked.reserve(order.size());
    for (std::size_t r : order) picked.push_back(row_regions[r]);
    row_regions = std::move(picked);
    if (increasing) {
        // Rows only move towards the front: compact in place, then give
        // back the memory of the rows left out.
        for (std::size_t i = 0; i < order.size(); ++i)
            if (order[i] != i) std::copy_n(at(order[i]), cols, at(i));
        values.resize(order.size() * cols);
        values.shrink_to_fit();
        return;
    }
    if (every_row) return permute_rows(values, cols, order);
    // Some rows, out of order: only when groups arrive out of order.
    MatrixValues picked_values(order.size() * cols);
    for (std::size_t i = 0; i < order.size(); ++i)
        std::copy_n(at(order[i]), cols, picked_values.begin() + static_cast<std::ptrdiff_t>(i * cols));
    values = std::move(picked_values);
}

std::optional<double> mean_of_numbers(std::span<const float> values) {
    double sum = 0.0;
    std::size_t count = 0;
    for (float v : values) {
        if (std::isnan(v)) continue;
        sum += static_cast<double>(v);
        ++count;
    }
    if (count == 0) return std::nullopt;
    return sum / static_cast<double>(count);
}

std::vector<std::size_t> Matrix::row_groups() const {
    std::vector<std::size_t> groups;
    groups.reserve(rows());
    for (std::size_t r = 0; r < rows(); ++r) groups.push_back(region(r).group);
    return groups;
}

std::vector<std::size_t> compute_group_boundaries(const Matrix& matrix) {
    std::vector<std::size_t> boundaries{0};
    for (std::size_t r = 1; r < matrix.rows(); ++r)
        if (matrix.region(r).group != matrix.region(r - 1).group) boundaries.push_back(r);
    boundaries.push_back(matrix.rows());
    return boundaries;
}

}  // namespace binscope
