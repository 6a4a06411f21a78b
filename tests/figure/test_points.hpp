// test_points.hpp - a matrix owned by a clustering test, every column a
// dimension of its rows' points.
#pragma once

#include <cstddef>
#include <numeric>
#include <vector>

#include "figure/kmeans_points.hpp"

namespace binscope::testing {

struct OwnedPoints {
    std::vector<float> values;
    std::size_t rows = 0, cols = 0;
    std::vector<std::size_t> columns;

    OwnedPoints(std::vector<float> v, std::size_t c)
        : values(std::move(v)), rows(values.size() / c), cols(c), columns(c) {
        std::iota(columns.begin(), columns.end(), std::size_t{0});
    }
    KmeansPoints points() const { return KmeansPoints{values, rows, cols, columns, {}, {}}; }
};

}  // namespace binscope::testing
