// tile.hpp - a heat-map panel's rows in a window, drawn as a PNG image by
// the figures' own raster code: each pixel row the mean (or the maximum)
// of the rows it covers, never across groups.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "error.hpp"
#include "figure/downsample.hpp"
#include "view/tile_raster.hpp"
#include "view/view_model.hpp"
#include "view/view_query.hpp"

namespace binscope {

struct TileRequest {
    std::size_t sample = 0;  // 0-based
    RowWindow rows;
    std::size_t width = 1;  // pixels
    TileStatistic statistic = TileStatistic::mean;
};

// The raster-row edges of a window, in drawn rows: the window's part of
// each group cut as the heat map cuts its rows (row_edges), so that no
// raster row covers rows of two groups.
std::vector<std::size_t> window_cuts(const FigureInput& input, const RowWindow& window);

// The raster of sample `request.sample` over the window: its rows cut at
// window_cuts, its columns cut evenly for `request.width` pixels.
Result<Raster> tile_raster(const FigureInput& input, const TileRequest& request, std::size_t threads);

// The raster painted to request.width x request.rows.pixels pixels (a
// raster of fewer rows or columns is scaled up without smoothing), as PNG.
Result<std::string> render_tile(const View& view, const TileRequest& request, std::size_t threads);

// The cell under pixel (x, y) of a tile: drawn rows [row_begin, row_end)
// and the sample's columns [col_begin, col_end) (counted from the
// sample's first), with its value (NaN when all are missing).
struct TileCell {
    std::size_t row_begin = 0, row_end = 0;
    std::size_t col_begin = 0, col_end = 0;
    float value = 0;
};
Result<TileCell> tile_cell(const FigureInput& input, const TileRequest& request, std::size_t x, std::size_t y);

}  // namespace binscope
