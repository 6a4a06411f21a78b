// reference_statistic.hpp - the statistic of one bin by its plain
// definition, base by base: what every faster way must match bit for bit.
#pragma once

#include <span>

#include "params.hpp"

namespace binscope::testing {

// NaN values are missing; a bin without a number is NaN. Sums run left to
// right from -0.0, one single-precision addition per base; the median
// sorts (-0.0 before 0.0); std is sqrt(sum of (v - mean)^2 / n).
float reference_statistic(std::span<const float> values, AverageType type);

}  // namespace binscope::testing
