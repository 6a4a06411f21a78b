// row_order.cpp - sorts rows within their groups or clusters them, giving
// the drawn order, its groups and their labels.
#include "figure/row_order.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <numeric>

#include "figure/hclust.hpp"
#include "figure/kmeans.hpp"
#include "matrix/sort.hpp"
#include "worker_pool.hpp"

namespace binscope {

namespace {

SortUsing sort_using(RowStatistic statistic) {
    switch (statistic) {
        case RowStatistic::median: return SortUsing::Median;
        case RowStatistic::max: return SortUsing::Max;
        case RowStatistic::min: return SortUsing::Min;
        case RowStatistic::sum: return SortUsing::Sum;
        case RowStatistic::mean:
        case RowStatistic::region_length: break;
    }
    return SortUsing::Mean;
}

// Every row's key over the chosen columns (NaN for a row without a value),
// computed on the workers, each into its row's slot.
Result<std::vector<double>> row_keys(const Matrix& matrix, std::span<const std::size_t> columns,
                                     RowStatistic statistic, std::size_t threads) {
    if (statistic == RowStatistic::region_length && matrix.region_set.regions.empty())
        return fail("Sorting by region length: the matrix was read without its regions");
    std::vector<double> keys(matrix.rows());
    const bool every_column = columns.size() == matrix.cols;  // the columns in order: no copy needed
    ChunkCounter counter(matrix.rows(), 1024);
    auto status = run_on_workers(std::max<std::size_t>(threads, 1), [&](std::size_t, const std::atomic<bool>&) {
        std::vector<float> picked(columns.size());
        std::size_t begin = 0, end = 0;
        while (counter.next(begin, end))
            for (std::size_t r = begin; r < end; ++r) {
                if (statistic == RowStatistic::region_length) {
                    keys[r] = static_cast<double>(matrix.region(r).end() - matrix.region(r).start());
                    continue;
                }
                std::span<const float> row(matrix.row(r), matrix.cols);
                if (!every_column) {
                    for (std::size_t i = 0; i < columns.size(); ++i) picked[i] = row[columns[i]];
                    row = picked;
                }
                keys[r] = values_sort_key(row, sort_using(statistic));
            }
    });
    if (!status) return fail(std::move(status.error()));
    return keys;
}

// Sorts each group's stretch of `order` by the keys, stably; rows without
// a key end their group in either direction.
void sort_groups(std::vector<std::size_t>& order, std::span<const std::size_t> bounds,
                 const std::vector<double>& keys, bool descending) {
    const auto before = [&](std::size_t a, std::size_t b) {
        if (std::isnan(keys[a])) return false;
        if (std::isnan(keys[b])) return true;
        return descending ? keys[a] > keys[b] : keys[a] < keys[b];
    };
    for (std::size_t g = 0; g + 1 < bounds.size(); ++g)
        std::stable_sort(order.begin() + static_cast<std::ptrdiff_t>(bounds[g]),
                         order.begin() + static_cast<std::ptrdiff_t>(bounds[g + 1]), before);
}

// The matrix's groups, empty ones left out, each labelled with its name
// (group g of the boundaries is group g of the region set).
RowOrder matrix_groups(const Matrix& matrix) {
    RowOrder out;
    out.row_order.resize(matrix.rows());
    std::iota(out.row_order.begin(), out.row_order.end(), std::size_t{0});
    out.group_boundaries.push_back(0);
    const auto& bounds = matrix.group_boundaries;
    for (std::size_t g = 0; g + 1 < bounds.size(); ++g) {
        const std::size_t first = std::min(bounds[g], matrix.rows());
        const std::size_t last = std::min(bounds[g + 1], matrix.rows());
        if (first >= last) continue;
        out.group_labels.push_back(g < matrix.region_set.groups.size() ? matrix.region_set.groups[g] : "");
        out.group_boundaries.push_back(last);
    }
    // Boundaries that stop short of the last row leave the rest as one more group.
    if (out.group_boundaries.back() < matrix.rows()) {
        out.group_boundaries.push_back(matrix.rows());
        out.group_labels.emplace_back();
    }
    return out;
}

// Clusters ordered by the mean of their rows' values over the chosen
// columns (missing values left out), highest first; clusters without a
// value after the others, and equal ones in cluster order.
RowOrder cluster_groups(const Matrix& matrix, std::span<const std::size_t> columns,
                        const std::vector<std::size_t>& cluster, std::size_t k) {
    std::vector<double> sums(k, 0.0);
    std::vector<std::size_t> counts(k, 0), sizes(k, 0);
    for (std::size_t r = 0; r < matrix.rows(); ++r) {
        ++sizes[cluster[r]];
        for (const std::size_t c : columns) {
            const float v = matrix.row(r)[c];
            if (std::isnan(v)) continue;
            sums[cluster[r]] += v;
            ++counts[cluster[r]];
        }
    }
    std::vector<std::size_t> ranked(k);
    std::iota(ranked.begin(), ranked.end(), std::size_t{0});
    const auto mean = [&](std::size_t c) { return counts[c] ? sums[c] / static_cast<double>(counts[c]) : NAN; };
    std::stable_sort(ranked.begin(), ranked.end(), [&](std::size_t a, std::size_t b) {
        if (std::isnan(mean(a))) return false;
        return std::isnan(mean(b)) || mean(a) > mean(b);
    });
    // Each cluster's first drawn row, then the rows placed in matrix order.
    RowOrder out;
    out.group_boundaries.push_back(0);
    std::vector<std::size_t> next(k);
    for (const std::size_t c : ranked) {
        if (sizes[c] == 0) continue;
        next[c] = out.group_boundaries.back();
        out.group_boundaries.push_back(next[c] + sizes[c]);
        out.group_labels.push_back(fmt::format("cluster_{}", out.group_labels.size() + 1));
    }
    out.row_order.resize(matrix.rows());
    for (std::size_t r = 0; r < matrix.rows(); ++r) out.row_order[next[cluster[r]]++] = r;
    return out;
}

// Each row's cluster by the method the settings ask for, on the chosen
// columns, clipped when `clip` is given.
Result<std::vector<std::size_t>> clusters(const Matrix& matrix, std::span<const std::size_t> sample_boundaries,
                                          std::span<const std::size_t> columns, const RowOrderSettings& settings,
                                          std::size_t threads, std::span<const ColorLimits> clip) {
    KmeansPoints points{std::span<const float>(matrix.values.data(), matrix.values.size()), matrix.rows(),
                        matrix.cols, columns, {}, {}};
    std::vector<double> low, high;  // per chosen column, its sample's range
    for (std::size_t i = 0; i < columns.size() && !clip.empty(); ++i) {
        const auto bound = std::upper_bound(sample_boundaries.begin(), sample_boundaries.end(), columns[i]);
        const ColorLimits& range = clip[static_cast<std::size_t>(bound - sample_boundaries.begin()) - 1];
        low.push_back(range.low);
        high.push_back(range.high);
    }
    points.clip_low = low;
    points.clip_high = high;
    if (settings.hclust == 0) {
        auto cluster = kmeans_clusters(points, settings.kmeans, settings.seed, threads);
        if (!cluster) return fail(std::move(cluster.error()).context(fmt::format("Invalid --kmeans: {}", settings.kmeans)));
        return cluster;
    }
    auto cluster = hclust_clusters(points, settings.hclust, threads);
    if (!cluster) return fail(std::move(cluster.error()).context(fmt::format("Invalid --hclust: {}", settings.hclust)));
    return cluster;
}

}  // namespace

Result<std::vector<std::size_t>> sample_columns(std::span<const std::size_t> sample_boundaries,
                                                std::span<const std::size_t> samples, std::size_t cols) {
    const std::size_t count = sample_boundaries.empty() ? 0 : sample_boundaries.size() - 1;
    std::vector<std::size_t> columns;
    const auto add = [&](std::size_t s) {
        const std::size_t end = std::min(sample_boundaries[s + 1], cols);
        for (std::size_t c = sample_boundaries[s]; c < end; ++c) columns.push_back(c);
    };
    if (samples.empty())
        for (std::size_t s = 0; s < count; ++s) add(s);
    for (const std::size_t s : samples) {
        if (s >= count)
            return fail(fmt::format("Invalid --sortUsingSamples: {} (the matrix has {} sample{})", s + 1, count,
                                    count == 1 ? "" : "s"));
        add(s);
    }
    return columns;
}

Result<RowOrder> order_rows(const Matrix& matrix, std::span<const std::size_t> sample_boundaries,
                            const RowOrderSettings& settings, std::size_t threads, std::span<const ColorLimits> clip) {
    auto columns = sample_columns(sample_boundaries, settings.sort_using_samples, matrix.cols);
    if (!columns) return fail(std::move(columns.error()));
    if (settings.kmeans > 0 && settings.hclust > 0)
        return fail("Invalid --hclust: --kmeans is given too (cluster by one of them)");
    if (!clip.empty() && clip.size() + 1 != sample_boundaries.size())
        return fail(fmt::format("{} clipping ranges for {} samples", clip.size(), sample_boundaries.size() - 1));
    RowOrder out;
    if (settings.kmeans == 0 && settings.hclust == 0) {
        out = matrix_groups(matrix);
    } else {
        auto cluster = clusters(matrix, sample_boundaries, *columns, settings, threads, clip);
        if (!cluster) return fail(std::move(cluster).error());
        out = cluster_groups(matrix, *columns, *cluster, std::max(settings.kmeans, settings.hclust));
    }
    if (settings.sort == SortOrder::keep || matrix.rows() == 0) return out;
    auto keys = row_keys(matrix, *columns, settings.sort_using, threads);
    if (!keys) return fail(std::move(keys.error()));
    sort_groups(out.row_order, out.group_boundaries, *keys, settings.sort == SortOrder::descend);
    return out;
}

}  // namespace binscope
