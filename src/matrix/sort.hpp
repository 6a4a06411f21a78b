// sort.hpp - sorting rows within their groups.
#pragma once

#include <span>

#include "region.hpp"
#include "params.hpp"
#include "matrix/matrix.hpp"

namespace binscope {

Matrix sort_rows(Matrix matrix, SortRegions order, SortUsing using_);

double row_sort_key(std::span<const float> values, const Region& region, SortUsing using_);

}  // namespace binscope
