// tile_raster.cpp - window rasters of means or maxima: the plain loops and
// the vector loops that give the same floats.
#include "view/tile_raster.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>

#include "figure/nan_bits.hpp"

namespace binscope {
namespace {

constexpr float kMissing = std::numeric_limits<float>::quiet_NaN();
// The contexts of a failure to start the workers, as the plain ways name them.
constexpr const char* kMeanWork = "Drawing the heat map";
constexpr const char* kMaxWork = "Drawing a tile";

// The first value of drawn row `row` in the window's columns.
const float* line_of(const FigureInput& input, std::size_t row, std::size_t first_col) {
    return input.values.data() + input.row_order[row] * input.cols + first_col;
}

// Maxima value by value, a branch for each missing one.
RasterRowCells plain_max_cells(const FigureInput& input, std::size_t col_begin, const std::vector<std::size_t>& col_cuts) {
    return [&input, col_begin, &col_cuts](std::size_t first, std::size_t last, float* out) {
        const std::size_t parts = col_cuts.size() - 1;
        std::fill(out, out + parts, kMissing);
        for (std::size_t r = first; r < last; ++r) {
            const float* line = line_of(input, r, col_begin);
            for (std::size_t p = 0; p < parts; ++p)
                for (std::size_t c = col_cuts[p]; c < col_cuts[p + 1]; ++c)
                    if (!std::isnan(line[c]) && !(line[c] <= out[p])) out[p] = line[c];
        }
    };
}

bool one_column_each(const std::vector<std::size_t>& col_cuts) {
    for (std::size_t p = 0; p + 1 < col_cuts.size(); ++p)
        if (col_cuts[p + 1] - col_cuts[p] != 1) return false;
    return true;
}

// The part of each column of [col_cuts.front(), col_cuts.back()).
std::vector<std::size_t> parts_of_columns(const std::vector<std::size_t>& col_cuts) {
    std::vector<std::size_t> part(col_cuts.back() - col_cuts.front());
    for (std::size_t p = 0; p + 1 < col_cuts.size(); ++p)
        std::fill(part.begin() + static_cast<std::ptrdiff_t>(col_cuts[p] - col_cuts.front()),
                  part.begin() + static_cast<std::ptrdiff_t>(col_cuts[p + 1] - col_cuts.front()), p);
    return part;
}

// Adds line[c] to sum[c] and 1 to count[c], or +0.0 and 0 when it is
// missing, for c in [0, n).
void add_columns(const float* __restrict line, double* __restrict sum, double* __restrict count, std::size_t n) {
    for (std::size_t c = 0; c < n; ++c) {
        const std::uint32_t missing = nan_bit(line[c]);
        sum[c] += static_cast<double>(zero_if_nan(line[c], missing));
        count[c] += static_cast<double>(1u - missing);
    }
}

// Means: sums and counts in float64, a missing value adding +0.0 and 0.
// Parts of one column each add a row's values column by column in one
// loop over the row; wider parts add them through the part of each
// column, in the same order.
struct MeanCells {
    const FigureInput& input;
    std::size_t first_col;                 // col_begin + col_cuts.front()
    std::size_t parts;
    std::vector<std::size_t> part;         // empty when every part is one column
    std::vector<double> sums, counts;

    void operator()(std::size_t first, std::size_t last, float* out) {
        std::fill(sums.begin(), sums.end(), 0.0);
        std::fill(counts.begin(), counts.end(), 0.0);
        double* const sum = sums.data();
        double* const count = counts.data();
        for (std::size_t r = first; r < last; ++r) {
            const float* line = line_of(input, r, first_col);
            if (part.empty()) {
                add_columns(line, sum, count, parts);
            } else {
                for (std::size_t c = 0; c < part.size(); ++c) {
                    const std::uint32_t missing = nan_bit(line[c]);
                    sum[part[c]] += static_cast<double>(zero_if_nan(line[c], missing));
                    count[part[c]] += static_cast<double>(1u - missing);
                }
            }
        }
        for (std::size_t p = 0; p < parts; ++p)
            out[p] = count[p] == 0.0 ? kMissing : static_cast<float>(sum[p] / count[p]);
    }
};

// Maxima: a value replaces the cell's when it is not missing and not at
// most the cell's (so the first of equal values stays, as in the plain
// loop), chosen without a branch.
struct MaxCells {
    const FigureInput& input;
    std::size_t first_col;
    std::size_t parts;
    std::vector<std::size_t> part;  // empty when every part is one column

    void operator()(std::size_t first, std::size_t last, float* out) const {
        std::fill(out, out + parts, kMissing);
        for (std::size_t r = first; r < last; ++r) {
            const float* line = line_of(input, r, first_col);
            if (part.empty()) {
                for (std::size_t c = 0; c < parts; ++c) {
                    const float v = line[c], m = out[c];
                    out[c] = !std::isnan(v) && !(v <= m) ? v : m;
                }
            } else {
                for (std::size_t c = 0; c < part.size(); ++c) {
                    const float v = line[c], m = out[part[c]];
                    out[part[c]] = !std::isnan(v) && !(v <= m) ? v : m;
                }
            }
        }
    }
};

}  // namespace

Result<Raster> window_raster(const FigureInput& input, std::size_t col_begin, const std::vector<std::size_t>& row_cuts,
                             const std::vector<std::size_t>& col_cuts, TileStatistic statistic, std::size_t threads) {
    const char* what = statistic == TileStatistic::max ? kMaxWork : kMeanWork;
    if (col_cuts.size() < 2) return fill_raster(row_cuts, col_cuts, threads, what, [] { return RasterRowCells{}; });
    const std::size_t first_col = col_begin + col_cuts.front(), parts = col_cuts.size() - 1;
    const std::vector<std::size_t> part = one_column_each(col_cuts) ? std::vector<std::size_t>{}
                                                                    : parts_of_columns(col_cuts);
    if (statistic == TileStatistic::max)
        return fill_raster(row_cuts, col_cuts, threads, what,
                           [&]() -> RasterRowCells { return MaxCells{input, first_col, parts, part}; });
    return fill_raster(row_cuts, col_cuts, threads, what, [&]() -> RasterRowCells {
        return MeanCells{input, first_col, parts, part, std::vector<double>(parts), std::vector<double>(parts)};
    });
}

Result<Raster> plain_window_raster(const FigureInput& input, std::size_t col_begin,
                                   const std::vector<std::size_t>& row_cuts, const std::vector<std::size_t>& col_cuts,
                                   TileStatistic statistic, std::size_t threads) {
    if (statistic == TileStatistic::mean) return downsample(input, col_begin, row_cuts, col_cuts, threads);
    return fill_raster(row_cuts, col_cuts, threads, kMaxWork,
                       [&] { return plain_max_cells(input, col_begin, col_cuts); });
}

}  // namespace binscope
