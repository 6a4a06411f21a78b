// sort.hpp - sorting rows within their groups.
#pragma once

#include <span>
#include <vector>

#include "region.hpp"
#include "params.hpp"
#include "matrix/matrix.hpp"

namespace binscope {

Matrix sort_rows(Matrix matrix, SortRegions order, SortUsing using_);

// The same sort, with the keys taken from `columns` of every row alone
// (all columns when empty).
Matrix sort_rows(Matrix matrix, SortRegions order, SortUsing using_, std::span<const std::size_t> columns);

// Reorders the rows within each group by `keys` (one per row): a stable
// sort, rows with a NaN key last.
Matrix sort_rows_by_keys(Matrix matrix, const std::vector<double>& keys, bool descending);

double row_sort_key(std::span<const float> values, const Region& region, SortUsing using_);

// The key of a statistic of the values alone (any but RegionLength): NaN
// when no value is a number.
double values_sort_key(std::span<const float> values, SortUsing using_);

}  // namespace binscope
