// sort.cpp - reorders the rows of the matrix inside their groups by one
// statistic of each row.
#include "matrix/sort.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

namespace binscope {

namespace {

__extension__ typedef __int128 Int128;

double region_length(const Region& region) {
    // Wide enough that no block list can overflow it.
    Int128 sum = 0;
    for (const Block& block : region.blocks) sum += static_cast<Int128>(block.end) - block.start;
    return static_cast<double>(sum);
}

}  // namespace

double row_sort_key(std::span<const float> values, const Region& region, SortUsing using_) {
    if (using_ == SortUsing::RegionLength) return region_length(region);
    return values_sort_key(values, using_);
}

double values_sort_key(std::span<const float> values, SortUsing using_) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    if (using_ == SortUsing::Median) {
        std::vector<double> numbers;
        numbers.reserve(values.size());
        for (const float v : values)
            if (!std::isnan(v)) numbers.push_back(static_cast<double>(v));
        if (numbers.empty()) return kNaN;
        const auto mid = numbers.begin() + static_cast<std::ptrdiff_t>(numbers.size() / 2);
        std::nth_element(numbers.begin(), mid, numbers.end());
        if (numbers.size() % 2 == 1) return *mid;
        return (*std::max_element(numbers.begin(), mid) + *mid) * 0.5;
    }

    double sum = -0.0;
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    std::size_t count = 0;
    for (const float f : values) {
        if (std::isnan(f)) continue;
        const double v = static_cast<double>(f);
        sum += v;
        // The first of equal extremes is kept, as a scan in row order finds it.
        if (count == 0 || v < low) low = v;
        if (count == 0 || v > high) high = v;
        ++count;
    }
    if (count == 0) return kNaN;
    switch (using_) {
    case SortUsing::Sum: return sum;
    case SortUsing::Max: return high;
    case SortUsing::Min: return low;
    default: return sum / static_cast<double>(count);
    }
}

Matrix sort_rows(Matrix matrix, SortRegions order, SortUsing using_) {
    return sort_rows(std::move(matrix), order, using_, {});
}

Matrix sort_rows(Matrix matrix, SortRegions order, SortUsing using_, std::span<const std::size_t> columns) {
    const std::size_t rows = matrix.rows();
    if (order == SortRegions::No || order == SortRegions::Keep || rows == 0) return matrix;

    std::vector<double> keys(rows);
    std::vector<float> picked(columns.size());
    for (std::size_t r = 0; r < rows; ++r) {
        std::span<const float> values(matrix.row(r), matrix.cols);
        if (!columns.empty()) {
            for (std::size_t i = 0; i < columns.size(); ++i) picked[i] = values[columns[i]];
            values = picked;
        }
        keys[r] = row_sort_key(values, matrix.region(r), using_);
    }
    return sort_rows_by_keys(std::move(matrix), keys, order == SortRegions::Descend);
}

Matrix sort_rows_by_keys(Matrix matrix, const std::vector<double>& keys, bool descending) {
    const std::size_t rows = matrix.rows();
    // Rows without a number (NaN key) end their group in either direction.
    const auto before = [&](std::size_t a, std::size_t b) {
        const double ka = keys[a];
        const double kb = keys[b];
        if (std::isnan(ka)) return false;
        if (std::isnan(kb)) return true;
        return descending ? ka > kb : ka < kb;
    };

    std::vector<std::size_t> order_of_rows(rows);
    std::iota(order_of_rows.begin(), order_of_rows.end(), std::size_t{0});
    const auto& bounds = matrix.group_boundaries;
    for (std::size_t g = 0; g + 1 < bounds.size(); ++g) {
        // Boundaries come from the assembly; clamping keeps a bad list from
        // reaching outside the rows.
        const std::size_t first = std::min(bounds[g], rows);
        const std::size_t last = std::min(bounds[g + 1], rows);
        if (first >= last) continue;
        std::stable_sort(order_of_rows.begin() + static_cast<std::ptrdiff_t>(first),
                         order_of_rows.begin() + static_cast<std::ptrdiff_t>(last), before);
    }

    matrix.select_rows(order_of_rows);
    return matrix;
}

}  // namespace binscope
