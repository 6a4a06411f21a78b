// downsample.hpp - a panel's values at the raster size it is drawn at: each
// raster cell the mean of the matrix cells it covers, never across groups.
#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "error.hpp"
#include "figure/figure_input.hpp"

namespace binscope {

// Edges of the parts a run of `count` items is cut into for `pixels`
// raster cells: part i covers items [edges[i], edges[i+1]). With no more
// items than pixels every item is a part of its own (edges 0, 1, ...,
// count); otherwise `pixels` parts of floor or ceiling count / pixels items.
std::vector<std::size_t> even_edges(std::size_t count, std::size_t pixels);

// Raster rows per group: `pixels` shared among the non-empty groups in
// proportion to their rows (largest remainders first), each at least one
// and none more than its rows. `group_sizes` counts rows.
std::vector<std::size_t> share_pixels(const std::vector<std::size_t>& group_sizes, std::size_t pixels);

// Edges of the raster rows in drawn rows (see even_edges): every drawn row
// its own raster row when there are no more rows than pixels; otherwise
// each group's share of the pixels, cut evenly, so that no raster row
// covers rows of two groups. `group_boundaries` is [0, ..., rows].
std::vector<std::size_t> row_edges(const std::vector<std::size_t>& group_boundaries, std::size_t pixels);

// Means of the cells each raster cell covers; NaN where all were missing.
struct Raster {
    std::size_t rows = 0;
    std::size_t cols = 0;
    std::vector<float> values;  // rows x cols, row-major

    float at(std::size_t row, std::size_t col) const { return values[row * cols + col]; }
};

// The cells of one raster row: fills out[0, raster columns) from drawn
// rows [first, last).
using RasterRowCells = std::function<void(std::size_t first, std::size_t last, float* out)>;

// A raster of row_cuts x col_cuts, its rows spread over `threads` workers
// in chunks, each worker filling its raster rows through the RasterRowCells
// `make_cells` makes for it (with its own scratch space); `what` is the
// context of an error.
Result<Raster> fill_raster(const std::vector<std::size_t>& row_cuts, const std::vector<std::size_t>& col_cuts,
                           std::size_t threads, const char* what, const std::function<RasterRowCells()>& make_cells);

// The raster of columns [col_begin, col_end) of `input` (one sample), its
// rows cut at `row_cuts` (drawn rows) and its columns at `col_cuts`
// (counted from col_begin). Missing values (NaN) are left out of every
// mean; sums are float64. Raster rows are spread over `threads` workers;
// each is summed by one worker in one order, so the result does not
// depend on the thread count.
Result<Raster> downsample(const FigureInput& input, std::size_t col_begin, const std::vector<std::size_t>& row_cuts,
                          const std::vector<std::size_t>& col_cuts, std::size_t threads);

}  // namespace binscope
