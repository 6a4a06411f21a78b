// filter.hpp - row thresholds and the removal of zero rows.
#pragma once

#include <span>

#include "params.hpp"
#include "matrix/matrix.hpp"

namespace binscope {

// False when the row must be dropped (minThreshold, then maxThreshold,
// compared in 32-bit).
bool passes_thresholds(std::span<const float> values, const Params& params);

// True when the row's non-NaN mean is zero or it holds no number.
bool is_zero_row(std::span<const float> values);

// The matrix without rows whose non-NaN mean is zero or that hold no number.
Matrix skip_zero_rows(Matrix matrix);

}  // namespace binscope
