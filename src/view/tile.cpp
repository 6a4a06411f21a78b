// tile.cpp - the cuts of a window, its raster (mean or maximum) and its PNG
// image (painted as the heat map paints, encoded by tile_png).
#include "view/tile.hpp"

#include <algorithm>
#include <fmt/format.h>

#include "figure/canvas.hpp"
#include "figure/paint.hpp"
#include "view/tile_png.hpp"

namespace binscope {
namespace {

std::size_t sample_bins(const FigureInput& input, std::size_t sample) {
    return input.sample_boundaries[sample + 1] - input.sample_boundaries[sample];
}

Result<Raster> raster_of(const FigureInput& input, const TileRequest& request, const std::vector<std::size_t>& row_cuts,
                         const std::vector<std::size_t>& col_cuts, std::size_t threads) {
    return window_raster(input, input.sample_boundaries[request.sample], row_cuts, col_cuts, request.statistic, threads);
}

}  // namespace

std::vector<std::size_t> window_cuts(const FigureInput& input, const RowWindow& window) {
    std::vector<std::size_t> bounds{0};
    for (const std::size_t b : input.group_boundaries)
        if (b > window.begin && b < window.end) bounds.push_back(b - window.begin);
    bounds.push_back(window.end - window.begin);
    auto cuts = row_edges(bounds, window.pixels);
    for (auto& cut : cuts) cut += window.begin;
    return cuts;
}

Result<Raster> tile_raster(const FigureInput& input, const TileRequest& request, std::size_t threads) {
    const auto col_cuts = even_edges(sample_bins(input, request.sample), request.width);
    return raster_of(input, request, window_cuts(input, request.rows), col_cuts, threads);
}

Result<std::string> render_tile(const View& view, const TileRequest& request, std::size_t threads) {
    auto raster = tile_raster(*view.input, request, threads);
    if (!raster) return fail(std::move(raster).error());
    const auto width = static_cast<double>(request.width), height = static_cast<double>(request.rows.pixels);
    auto canvas = Canvas::create(FigureFormat::png, width, height, 72.0);
    if (!canvas) return fail(std::move(canvas).error());
    paint_raster(canvas->context(), *raster, (*view.limits)[request.sample], view.map, view.missing,
                 Box{0, 0, width, height});
    if (auto status = cairo_status(canvas->context()); status != CAIRO_STATUS_SUCCESS)
        return fail(fmt::format("Cannot draw the figure tile: {}", cairo_status_to_string(status)));
    return tile_png(cairo_get_target(canvas->context()));
}

Result<TileCell> tile_cell(const FigureInput& input, const TileRequest& request, std::size_t x, std::size_t y) {
    const auto row_cuts = window_cuts(input, request.rows);
    const auto col_cuts = even_edges(sample_bins(input, request.sample), request.width);
    const std::size_t raster_rows = row_cuts.size() - 1, raster_cols = col_cuts.size() - 1;
    if (raster_rows == 0 || raster_cols == 0) return fail("Bad hover: the window holds no cell");
    // paint_raster spreads raster cells evenly over the pixels.
    const std::size_t r = std::min(y * raster_rows / request.rows.pixels, raster_rows - 1);
    const std::size_t c = std::min(x * raster_cols / request.width, raster_cols - 1);
    TileCell cell{row_cuts[r], row_cuts[r + 1], col_cuts[c], col_cuts[c + 1], 0.0f};
    auto one = raster_of(input, request, {cell.row_begin, cell.row_end}, {cell.col_begin, cell.col_end}, 1);
    if (!one) return fail(std::move(one).error());
    cell.value = one->values.front();
    return cell;
}

}  // namespace binscope
