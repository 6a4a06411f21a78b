// downsample.cpp - cutting rows and columns into raster cells and taking
// each cell's mean.
#include "figure/downsample.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

#include "worker_pool.hpp"

namespace binscope {
namespace {

// a * b / c rounded down and a * b % c, for a, b, c below 2^32 (rows and
// pixels are), without overflow.
std::size_t product_over(std::size_t a, std::size_t b, std::size_t c) {
    return static_cast<std::size_t>(static_cast<std::uint64_t>(a) * b / c);
}
std::size_t product_modulo(std::size_t a, std::size_t b, std::size_t c) {
    return static_cast<std::size_t>(static_cast<std::uint64_t>(a) * b % c);
}

}  // namespace

std::vector<std::size_t> even_edges(std::size_t count, std::size_t pixels) {
    const std::size_t parts = std::min(count, std::max<std::size_t>(pixels, 1));
    if (parts == 0) return {0};
    std::vector<std::size_t> edges(parts + 1);
    for (std::size_t i = 0; i <= parts; ++i)
        edges[i] = product_over(i, count, parts);
    return edges;
}

std::vector<std::size_t> share_pixels(const std::vector<std::size_t>& group_sizes, std::size_t pixels) {
    const std::size_t total = std::accumulate(group_sizes.begin(), group_sizes.end(), std::size_t{0});
    std::vector<std::size_t> share(group_sizes.size(), 0);
    std::vector<std::size_t> remainder(group_sizes.size(), 0);
    std::vector<std::size_t> order;  // the non-empty groups
    std::size_t given = 0;
    for (std::size_t g = 0; g < group_sizes.size(); ++g) {
        if (group_sizes[g] == 0) continue;
        share[g] = std::clamp<std::size_t>(product_over(pixels, group_sizes[g], total), 1, group_sizes[g]);
        remainder[g] = product_modulo(pixels, group_sizes[g], total);
        given += share[g];
        order.push_back(g);
    }
    // Largest remainders first for the pixels left; the smallest give back
    // what the one-row minimum took too many.
    std::stable_sort(order.begin(), order.end(), [&](auto a, auto b) { return remainder[a] > remainder[b]; });
    for (std::size_t i = 0; given < pixels && i < order.size(); ++i)
        if (share[order[i]] < group_sizes[order[i]]) ++share[order[i]], ++given;
    bool gave_back = true;
    while (given > pixels && gave_back) {
        gave_back = false;
        for (auto it = order.rbegin(); given > pixels && it != order.rend(); ++it)
            if (share[*it] > 1) --share[*it], --given, gave_back = true;
    }
    return share;
}

std::vector<std::size_t> row_edges(const std::vector<std::size_t>& group_boundaries, std::size_t pixels) {
    const std::size_t rows = group_boundaries.empty() ? 0 : group_boundaries.back();
    if (rows <= pixels) return even_edges(rows, rows);
    std::vector<std::size_t> sizes;
    for (std::size_t g = 0; g + 1 < group_boundaries.size(); ++g)
        sizes.push_back(group_boundaries[g + 1] - group_boundaries[g]);
    const auto share = share_pixels(sizes, pixels);
    std::vector<std::size_t> edges{0};
    for (std::size_t g = 0; g < sizes.size(); ++g) {
        if (sizes[g] == 0) continue;
        const auto inside = even_edges(sizes[g], share[g]);
        for (std::size_t i = 1; i < inside.size(); ++i) edges.push_back(group_boundaries[g] + inside[i]);
    }
    return edges;
}

namespace {

// One raster row: the means over drawn rows [first, last) of each column part.
void mean_row(const FigureInput& input, std::size_t col_begin, std::size_t first, std::size_t last,
              const std::vector<std::size_t>& col_cuts, std::vector<double>& sums, std::vector<std::size_t>& counts,
              float* out) {
    const std::size_t parts = col_cuts.size() - 1;
    std::fill(sums.begin(), sums.end(), 0.0);
    std::fill(counts.begin(), counts.end(), 0);
    for (std::size_t r = first; r < last; ++r) {
        const float* line = input.values.data() + input.row_order[r] * input.cols + col_begin;
        for (std::size_t p = 0; p < parts; ++p)
            for (std::size_t c = col_cuts[p]; c < col_cuts[p + 1]; ++c)
                if (!std::isnan(line[c])) sums[p] += line[c], ++counts[p];
    }
    for (std::size_t p = 0; p < parts; ++p)
        out[p] = counts[p] == 0 ? std::numeric_limits<float>::quiet_NaN()
                                : static_cast<float>(sums[p] / static_cast<double>(counts[p]));
}

}  // namespace

Result<Raster> fill_raster(const std::vector<std::size_t>& row_cuts, const std::vector<std::size_t>& col_cuts,
                           std::size_t threads, const char* what, const std::function<RasterRowCells()>& make_cells) {
    Raster raster;
    raster.rows = row_cuts.empty() ? 0 : row_cuts.size() - 1;
    raster.cols = col_cuts.empty() ? 0 : col_cuts.size() - 1;
    raster.values.assign(raster.rows * raster.cols, 0.0f);
    if (raster.rows == 0 || raster.cols == 0) return raster;
    threads = std::clamp<std::size_t>(threads, 1, raster.rows);
    ChunkCounter counter(raster.rows, std::max<std::size_t>(1, raster.rows / (threads * 8)));
    auto status = run_on_workers(threads, [&](std::size_t, const std::atomic<bool>& cancelled) {
        const RasterRowCells cells = make_cells();
        std::size_t begin = 0, end = 0;
        while (!cancelled && counter.next(begin, end))
            for (std::size_t r = begin; r < end; ++r)
                cells(row_cuts[r], row_cuts[r + 1], raster.values.data() + r * raster.cols);
    });
    if (!status) return fail(std::move(status).error().context(what));
    return raster;
}

Result<Raster> downsample(const FigureInput& input, std::size_t col_begin, const std::vector<std::size_t>& row_cuts,
                          const std::vector<std::size_t>& col_cuts, std::size_t threads) {
    const std::size_t parts = col_cuts.empty() ? 0 : col_cuts.size() - 1;
    return fill_raster(row_cuts, col_cuts, threads, "Drawing the heat map", [&]() -> RasterRowCells {
        return [&input, col_begin, &col_cuts, sums = std::vector<double>(parts),
                counts = std::vector<std::size_t>(parts)](std::size_t first, std::size_t last, float* out) mutable {
            mean_row(input, col_begin, first, last, col_cuts, sums, counts, out);
        };
    });
}

}  // namespace binscope
