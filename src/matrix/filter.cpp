// filter.cpp - the row thresholds and the removal of zero rows.
#include "matrix/filter.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace binscope {

bool passes_thresholds(std::span<const float> values, const Params& params) {
    if (params.minThreshold) {
        float m = std::numeric_limits<float>::infinity();
        for (float v : values)
            if (v < m) m = v;  // NaN never compares below
        // Written as "fails when m <= t" so that a NaN threshold passes.
        if (m <= static_cast<float>(*params.minThreshold)) return false;
    }
    if (params.maxThreshold) {
        float m = -std::numeric_limits<float>::infinity();
        for (float v : values)
            if (v > m) m = v;
        if (m >= static_cast<float>(*params.maxThreshold)) return false;
    }
    return true;
}

bool is_zero_row(std::span<const float> values) {
    const auto mean = mean_of_numbers(values);
    // A NaN mean (both infinities) is not equal to zero: the row stays.
    return !mean || *mean == 0.0;
}

Matrix skip_zero_rows(Matrix matrix) {
    std::vector<std::size_t> kept;
    kept.reserve(matrix.rows());
    for (std::size_t r = 0; r < matrix.rows(); ++r)
        if (!is_zero_row({matrix.row(r), matrix.cols})) kept.push_back(r);
    if (kept.size() == matrix.rows()) return matrix;
    matrix.select_rows(kept);
    matrix.group_boundaries = compute_group_boundaries(matrix);
    return matrix;
}

}  // namespace binscope
