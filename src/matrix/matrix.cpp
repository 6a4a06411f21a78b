// matrix.cpp - row selection, the groups of the rows and their boundaries.
#include "matrix/matrix.hpp"

#include <algorithm>
#include <cmath>

namespace binscope {

void Matrix::select_rows(std::span<const std::size_t> order) {
    // Strictly increasing: no two consecutive entries with b <= a.
    const bool increasing = std::ranges::is_sorted(order, std::ranges::less_equal{});
    if (increasing && order.size() == rows()) return;  // every row, in place
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
