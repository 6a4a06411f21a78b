// hclust.cpp - average-linkage clustering by the nearest-neighbour chain:
// every pair's distance computed once on the workers, then the merges
// found one after another on the calling thread, each cluster's distances
// updated in place (the Lance-Williams formula for average linkage).
#include "figure/hclust.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <numeric>

#include "worker_pool.hpp"

namespace binscope {

namespace {

constexpr std::size_t kTile = 64;  // rows gathered at once on either side of a pair

// The distances of every pair i < j, condensed: pair (i, j) at
// i * n - i * (i + 1) / 2 + (j - i - 1).
class PairDistances {
public:
    explicit PairDistances(std::size_t n) : n_(n), values_(n * (n - 1) / 2) {}
    float& at(std::size_t i, std::size_t j) {
        if (i > j) std::swap(i, j);
        return values_[i * n_ - i * (i + 1) / 2 + (j - i - 1)];
    }

private:
    std::size_t n_;
    std::vector<float> values_;
};

// A squared distance as the stored distance; a sum that is not a number
// (values near the largest float) counts as infinitely far.
float distance_of(double squared) {
    const auto distance = static_cast<float>(std::sqrt(squared));
    return std::isnan(distance) ? INFINITY : distance;
}

// The rows of tile `first` (up to kTile of them) gathered for block
// distances: as blocks of kKmeansBlock rows, and as rows one after another.
void gather_tile(const KmeansRows& rows, std::size_t first, std::size_t n, std::vector<double>& blocks,
                 std::vector<double>& plain) {
    const std::size_t count = std::min(kTile, n - first), dims = rows.dims();
    std::vector<std::size_t> index(kKmeansBlock);
    for (std::size_t b = 0; b * kKmeansBlock < count; ++b) {
        const std::size_t in_block = std::min(kKmeansBlock, count - b * kKmeansBlock);
        std::iota(index.begin(), index.begin() + static_cast<std::ptrdiff_t>(in_block), first + b * kKmeansBlock);
        rows.gather_block(index.data(), in_block, blocks.data() + b * dims * kKmeansBlock);
    }
    for (std::size_t i = 0; i < count; ++i) rows.gather_row(first + i, plain.data() + i * dims);
}

// Every pair's Euclidean distance, tiles of rows handed to the workers.
Result<PairDistances> pair_distances(const KmeansRows& rows, std::size_t n, std::size_t threads) {
    PairDistances distances(n);
    const std::size_t tiles = (n + kTile - 1) / kTile, dims = rows.dims();
    ChunkCounter counter(tiles, 1);
    auto status = run_on_workers(std::clamp<std::size_t>(threads, 1, tiles), [&](std::size_t, const std::atomic<bool>& cancelled) {
        std::vector<double> blocks(kTile * dims), plain(kTile * dims), other_blocks(kTile * dims),
            other(kTile * dims), out(kTile * kKmeansBlock);
        std::size_t tile = 0, next = 0;
        while (!cancelled.load(std::memory_order_relaxed) && counter.next(tile, next)) {
            const std::size_t first = tile * kTile, count = std::min(kTile, n - first);
            gather_tile(rows, first, n, blocks, plain);
            for (std::size_t second = first; second < n; second += kTile) {
                const std::size_t others = std::min(kTile, n - second);
                if (second != first) gather_tile(rows, second, n, other_blocks, other);
                const std::vector<double>& centres = second == first ? plain : other;
                for (std::size_t b = 0; b * kKmeansBlock < count; ++b) {
                    rows.block_distances(blocks.data() + b * dims * kKmeansBlock, centres.data(), others, out.data());
                    for (std::size_t c = 0; c < others; ++c)
                        for (std::size_t l = 0; l < kKmeansBlock && b * kKmeansBlock + l < count; ++l) {
                            const std::size_t i = first + b * kKmeansBlock + l, j = second + c;
                            if (i < j) distances.at(i, j) = distance_of(out[c * kKmeansBlock + l]);
                        }
                }
            }
        }
    });
    if (!status) return fail(std::move(status).error().context("Computing the distances between rows"));
    return distances;
}

struct Merge {
    std::size_t a = 0, b = 0;  // the clusters' first rows, a < b
    float height = 0;
};

// The nearest active cluster to `a`: the smallest distance, `prefer` on a
// tie (the chain's previous link, which keeps the chain from cycling),
// else the cluster whose first row comes first.
std::size_t nearest(PairDistances& d, const std::vector<std::size_t>& active, std::size_t a, std::size_t prefer) {
    std::size_t best = a;
    float best_distance = INFINITY;
    for (const std::size_t c : active)  // in row order: the first of equals stays
        if (c != a && (best == a || d.at(a, c) < best_distance)) {
            best = c;
            best_distance = d.at(a, c);
        }
    return prefer != a && d.at(a, prefer) <= best_distance ? prefer : best;
}

// The n - 1 merges of the nearest-neighbour chain, in the order found.
std::vector<Merge> chain_merges(PairDistances& d, std::size_t n) {
    std::vector<std::size_t> active(n), size(n, 1), chain;
    std::iota(active.begin(), active.end(), std::size_t{0});
    std::vector<Merge> merges;
    while (active.size() > 1) {
        if (chain.empty()) chain.push_back(active.front());
        const std::size_t a = chain.back();
        const std::size_t prev = chain.size() > 1 ? chain[chain.size() - 2] : a;
        const std::size_t b = nearest(d, active, a, prev);
        if (b != prev) {
            chain.push_back(b);
            continue;
        }
        chain.resize(chain.size() - 2);
        const std::size_t keep = std::min(a, b), gone = std::max(a, b);
        merges.push_back({keep, gone, d.at(a, b)});
        active.erase(std::find(active.begin(), active.end(), gone));
        const double wa = static_cast<double>(size[keep]), wb = static_cast<double>(size[gone]);
        for (const std::size_t c : active)
            if (c != keep)
                d.at(keep, c) = static_cast<float>((wa * d.at(keep, c) + wb * d.at(gone, c)) / (wa + wb));
        size[keep] += size[gone];
    }
    return merges;
}

std::size_t root(std::vector<std::size_t>& parent, std::size_t x) {
    while (parent[x] != x) x = parent[x] = parent[parent[x]];
    return x;
}

}  // namespace

Result<std::vector<std::size_t>> hclust_clusters(const KmeansPoints& points, std::size_t k, std::size_t threads) {
    const std::size_t n = points.rows;
    if (k == 0 || k > n)
        return fail(fmt::format("hierarchical clustering cannot make {} clusters of {} rows", k, n));
    if (n > kHclustMaxRows)
        return fail(fmt::format("hierarchical clustering runs on at most {} rows and the matrix has {}; "
                                "use --kmeans for more rows",
                                kHclustMaxRows, n));
    auto fill = column_fill(points, 4096, threads);
    if (!fill) return fail(std::move(fill).error());
    const KmeansRows rows(points, std::move(*fill));
    auto distances = pair_distances(rows, n, threads);
    if (!distances) return fail(std::move(distances).error());
    std::vector<Merge> merges = chain_merges(*distances, n);
    // Average linkage never merges below an earlier merge: the first
    // n - k merges by height leave the k clusters of the tree's cut.
    std::stable_sort(merges.begin(), merges.end(), [](const Merge& x, const Merge& y) { return x.height < y.height; });
    std::vector<std::size_t> parent(n);
    std::iota(parent.begin(), parent.end(), std::size_t{0});
    for (std::size_t m = 0; m < n - k; ++m) parent[root(parent, merges[m].b)] = root(parent, merges[m].a);
    std::vector<std::size_t> number(n, n), cluster(n);
    std::size_t clusters = 0;
    for (std::size_t r = 0; r < n; ++r) {
        const std::size_t top = root(parent, r);
        if (number[top] == n) number[top] = clusters++;
        cluster[r] = number[top];
    }
    return cluster;
}

}  // namespace binscope
