// tile.cpp - window rasters (mean or maximum) and their PNG images.
#include "view/tile.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "figure/canvas.hpp"
#include "figure/paint.hpp"
#include "worker_pool.hpp"

namespace binscope {
namespace {

std::size_t sample_bins(const FigureInput& input, std::size_t sample) {
    return input.sample_boundaries[sample + 1] - input.sample_boundaries[sample];
}

// The maxima of drawn rows [first, last) over each column part; NaN where
// every value is missing.
void max_row(const FigureInput& input, std::size_t col_begin, std::size_t first, std::size_t last,
             const std::vector<std::size_t>& col_cuts, float* out) {
    const std::size_t parts = col_cuts.size() - 1;
    std::fill(out, out + parts, std::numeric_limits<float>::quiet_NaN());
    for (std::size_t r = first; r < last; ++r) {
        const float* line = input.values.data() + input.row_order[r] * input.cols + col_begin;
        for (std::size_t p = 0; p < parts; ++p)
            for (std::size_t c = col_cuts[p]; c < col_cuts[p + 1]; ++c)
                if (!std::isnan(line[c]) && !(line[c] <= out[p])) out[p] = line[c];
    }
}

Result<Raster> max_raster(const FigureInput& input, std::size_t col_begin, const std::vector<std::size_t>& row_cuts,
                          const std::vector<std::size_t>& col_cuts, std::size_t threads) {
    Raster raster;
    raster.rows = row_cuts.size() - 1;
    raster.cols = col_cuts.size() - 1;
    raster.values.assign(raster.rows * raster.cols, 0.0f);
    if (raster.rows == 0 || raster.cols == 0) return raster;
    threads = std::clamp<std::size_t>(threads, 1, raster.rows);
    ChunkCounter counter(raster.rows, std::max<std::size_t>(1, raster.rows / (threads * 8)));
    auto status = run_on_workers(threads, [&](std::size_t, const std::atomic<bool>& cancelled) {
        std::size_t begin = 0, end = 0;
        while (!cancelled && counter.next(begin, end))
            for (std::size_t r = begin; r < end; ++r)
                max_row(input, col_begin, row_cuts[r], row_cuts[r + 1], col_cuts, raster.values.data() + r * raster.cols);
    });
    if (!status) return fail(std::move(status).error().context("Drawing a tile"));
    return raster;
}

Result<Raster> raster_of(const FigureInput& input, const TileRequest& request, const std::vector<std::size_t>& row_cuts,
                         const std::vector<std::size_t>& col_cuts, std::size_t threads) {
    const std::size_t col_begin = input.sample_boundaries[request.sample];
    if (request.statistic == TileStatistic::max) return max_raster(input, col_begin, row_cuts, col_cuts, threads);
    return downsample(input, col_begin, row_cuts, col_cuts, threads);
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
    return canvas->finish("tile");
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
