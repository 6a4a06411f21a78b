// tile_raster.hpp - a window of one sample cut into raster cells, each the
// mean or the maximum of the matrix cells it covers: the plain way (the
// heat map's downsample and a maximum in its image) and a fast way that
// gives the same floats, bit for bit.
#pragma once

#include <cstddef>
#include <vector>

#include "error.hpp"
#include "figure/downsample.hpp"
#include "figure/figure_input.hpp"

namespace binscope {

enum class TileStatistic { mean, max };

// The raster of the columns of one sample, starting at `col_begin`, its
// rows cut at `row_cuts` (drawn rows) and its columns at `col_cuts`
// (counted from col_begin): each cell the mean of its values (as
// downsample takes it) or their maximum, NaN where all are missing.
// Raster rows are spread over `threads` workers.
//
// Each cell's sum adds the same values in the same order as downsample
// (row by row, each row's columns left to right, in float64), and a
// missing value adds +0.0 where downsample skips it, which changes no sum
// (a sum that starts at +0.0 never becomes -0.0); the loops run on
// vectors, without a branch per value.
Result<Raster> window_raster(const FigureInput& input, std::size_t col_begin, const std::vector<std::size_t>& row_cuts,
                             const std::vector<std::size_t>& col_cuts, TileStatistic statistic, std::size_t threads);

// The same raster, each cell summed or compared value by value with a
// branch for each missing one: the reference window_raster is checked
// against.
Result<Raster> plain_window_raster(const FigureInput& input, std::size_t col_begin,
                                   const std::vector<std::size_t>& row_cuts, const std::vector<std::size_t>& col_cuts,
                                   TileStatistic statistic, std::size_t threads);

}  // namespace binscope
