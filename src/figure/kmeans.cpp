// kmeans.cpp - greedy k-means++ seeding and Lloyd's rounds over the rows
// of a matrix, the same clusters at every thread count.
//
// Determinism: the random numbers come from std::mt19937_64, whose output
// the C++ standard fixes, turned into doubles by hand (the library's
// distributions differ between implementations). Every sum that decides a
// result is taken in one fixed order: rows are cut into chunks whose size
// depends on the data only, each chunk sums its rows in row order, and the
// chunks' sums are added in chunk order. Threads only decide which chunk
// is summed where.
#include "figure/kmeans.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <random>

#include "worker_pool.hpp"

namespace binscope {

namespace {

// Rows of one chunk: enough that a chunk's work dwarfs handing it out, and,
// for a large k, enough that the chunks' centroid sums stay a small part
// of the matrix.
std::size_t chunk_rows(std::size_t k) { return std::max<std::size_t>(4096, k * 64); }

// The rounds stop once at most one row in this many changes cluster: on a
// large matrix the last rounds move a handful of rows at the full cost of
// a round each; a matrix of fewer rows runs until no row moves.
constexpr std::size_t kSettledFraction = 1000;

// A double in [0, 1) from the generator's top 53 bits.
double unit_double(std::mt19937_64& generator) { return static_cast<double>(generator() >> 11) * 0x1.0p-53; }

class Clustering {
public:
    Clustering(const KmeansPoints& points, std::size_t k, std::size_t threads)
        : points_(points), k_(k), dims_(points.columns.size()), chunk_(chunk_rows(k)),
          chunks_((points.rows + chunk_ - 1) / chunk_), threads_(std::clamp<std::size_t>(threads, 1, chunks_)) {}

    Status fill_missing();
    Status seed(std::uint64_t seed);
    Result<std::vector<std::size_t>> iterate();

private:
    double value(std::size_t row, std::size_t d) const {
        const float v = points_.values[row * points_.cols + points_.columns[d]];
        return std::isfinite(v) ? static_cast<double>(v) : fill_[d];
    }
    // Squared distance of a row to centroid c, summed over the dimensions
    // in order.
    double distance(std::size_t row, std::size_t c) const {
        double sum = 0;
        for (std::size_t d = 0; d < dims_; ++d) {
            const double diff = value(row, d) - centroids_[d * k_ + c];
            sum += diff * diff;
        }
        return sum;
    }
    // Runs job(chunk, first_row, end_row) for every chunk on the workers.
    template <class Job>
    Status each_chunk(const Job& job) const;
    void assign_chunk(std::size_t chunk, std::size_t first, std::size_t end);
    std::size_t draw(std::mt19937_64& generator, const std::vector<double>& nearest, double total) const;
    Result<double> potential_with(std::size_t row, const std::vector<double>& nearest) const;

    const KmeansPoints& points_;
    std::size_t k_, dims_, chunk_, chunks_, threads_;
    std::vector<double> fill_;       // per dimension: the value of a missing one
    std::vector<double> centroids_;  // dims x k: the k centroids' values of one dimension side by side
    std::vector<std::size_t> cluster_;
    // Per chunk: centroid sums (k x dims), row counts (k), rows reassigned.
    std::vector<double> chunk_sums_;
    std::vector<std::size_t> chunk_counts_, chunk_changes_;
};

template <class Job>
Status Clustering::each_chunk(const Job& job) const {
    ChunkCounter counter(chunks_, 1);
    return run_on_workers(threads_, [&](std::size_t, const std::atomic<bool>& cancelled) {
        std::size_t begin = 0, end = 0;
        while (!cancelled.load(std::memory_order_relaxed) && counter.next(begin, end))
            job(begin, begin * chunk_, std::min(points_.rows, (begin + 1) * chunk_));
    });
}

Status Clustering::fill_missing() {
    std::vector<double> sums(chunks_ * dims_, 0.0);
    std::vector<std::size_t> counts(chunks_ * dims_, 0);
    auto status = each_chunk([&](std::size_t chunk, std::size_t first, std::size_t end) {
        for (std::size_t r = first; r < end; ++r)
            for (std::size_t d = 0; d < dims_; ++d) {
                const float v = points_.values[r * points_.cols + points_.columns[d]];
                if (!std::isfinite(v)) continue;
                sums[chunk * dims_ + d] += v;
                ++counts[chunk * dims_ + d];
            }
    });
    if (!status) return status;
    fill_.assign(dims_, 0.0);
    for (std::size_t d = 0; d < dims_; ++d) {
        double sum = 0;
        std::size_t count = 0;
        for (std::size_t chunk = 0; chunk < chunks_; ++chunk) {
            sum += sums[chunk * dims_ + d];
            count += counts[chunk * dims_ + d];
        }
        if (count > 0) fill_[d] = sum / static_cast<double>(count);
    }
    return {};
}

// A row drawn with a chance proportional to its squared distance to the
// nearest centre so far, or uniformly when every row sits on a centre.
std::size_t Clustering::draw(std::mt19937_64& generator, const std::vector<double>& nearest, double total) const {
    const std::size_t rows = points_.rows;
    const double target = unit_double(generator) * (total > 0 ? total : static_cast<double>(rows));
    if (!(total > 0)) return std::min(rows - 1, static_cast<std::size_t>(target));
    std::size_t pick = 0;
    double running = 0;
    for (std::size_t r = 0; r < rows; ++r) {
        if (nearest[r] > 0) pick = r;  // rounding may leave the target unreached: the last candidate
        running += nearest[r];
        if (running > target && nearest[r] > 0) break;
    }
    return pick;
}

// The sum of squared distances to the nearest centre were `row` one more
// centre: chunk by chunk, the chunks' sums added in order.
Result<double> Clustering::potential_with(std::size_t row, const std::vector<double>& nearest) const {
    std::vector<double> sums(chunks_, 0.0);
    auto status = each_chunk([&](std::size_t chunk, std::size_t first, std::size_t end) {
        for (std::size_t r = first; r < end; ++r) {
            double d = 0;
            for (std::size_t i = 0; i < dims_ && d < nearest[r]; ++i) {
                const double diff = value(r, i) - value(row, i);
                d += diff * diff;
            }
            sums[chunk] += std::min(d, nearest[r]);
        }
    });
    if (!status) return fail(std::move(status.error()));
    double total = 0;
    for (const double sum : sums) total += sum;
    return total;
}

// Greedy k-means++: the first centre a row drawn uniformly; for each next
// one a few rows are drawn (see draw) and the one that leaves the smallest
// sum of squared distances to the nearest centre is taken, which keeps two
// centres from starting in one tight cluster.
Status Clustering::seed(std::uint64_t seed) {
    std::mt19937_64 generator(seed);
    std::vector<double> nearest(points_.rows, INFINITY);
    centroids_.assign(k_ * dims_, 0.0);
    const std::size_t tries = 2 + static_cast<std::size_t>(std::log(static_cast<double>(k_)));
    for (std::size_t c = 0; c < k_; ++c) {
        double total = 0;
        for (const double d : nearest) total += c > 0 ? d : 0;
        std::size_t pick = draw(generator, nearest, total);
        if (c > 0 && total > 0) {
            auto best = potential_with(pick, nearest);
            for (std::size_t t = 1; best && t < tries; ++t) {
                const std::size_t candidate = draw(generator, nearest, total);
                auto potential = potential_with(candidate, nearest);
                if (potential && *potential < *best) pick = candidate;
                if (!potential || *potential < *best) best = std::move(potential);
            }
            if (!best) return fail(std::move(best.error()));
        }
        for (std::size_t d = 0; d < dims_; ++d) centroids_[d * k_ + c] = value(pick, d);
        auto status = each_chunk([&](std::size_t, std::size_t first, std::size_t end) {
            for (std::size_t r = first; r < end; ++r) nearest[r] = std::min(nearest[r], distance(r, c));
        });
        if (!status) return status;
    }
    return {};
}

// Each row of the chunk to its nearest centroid (the lowest index among
// equals), adding it to the chunk's sums. The distances to all centroids
// grow side by side, one dimension at a time: each is still summed in
// dimension order, and the k independent sums keep the processor busy.
void Clustering::assign_chunk(std::size_t chunk, std::size_t first, std::size_t end) {
    double* sums = chunk_sums_.data() + chunk * k_ * dims_;
    std::size_t* counts = chunk_counts_.data() + chunk * k_;
    std::fill_n(sums, k_ * dims_, 0.0);
    std::fill_n(counts, k_, std::size_t{0});
    std::vector<double> distances(k_);
    std::size_t changes = 0;
    for (std::size_t r = first; r < end; ++r) {
        std::fill(distances.begin(), distances.end(), 0.0);
        for (std::size_t d = 0; d < dims_; ++d) {
            const double x = value(r, d);
            const double* centre = centroids_.data() + d * k_;
            for (std::size_t c = 0; c < k_; ++c) {
                const double diff = x - centre[c];
                distances[c] += diff * diff;
            }
        }
        const std::size_t best =
            static_cast<std::size_t>(std::min_element(distances.begin(), distances.end()) - distances.begin());
        if (cluster_[r] != best) ++changes, cluster_[r] = best;
        ++counts[best];
        for (std::size_t d = 0; d < dims_; ++d) sums[best * dims_ + d] += value(r, d);
    }
    chunk_changes_[chunk] = changes;
}

Result<std::vector<std::size_t>> Clustering::iterate() {
    cluster_.assign(points_.rows, k_);  // no cluster yet: every row changes in the first round
    chunk_sums_.assign(chunks_ * k_ * dims_, 0.0);
    chunk_counts_.assign(chunks_ * k_, 0);
    chunk_changes_.assign(chunks_, 0);
    for (std::size_t round = 0; round < kKmeansMaxIterations; ++round) {
        auto status = each_chunk([&](std::size_t chunk, std::size_t first, std::size_t end) {
            assign_chunk(chunk, first, end);
        });
        if (!status) return fail(std::move(status.error()));
        std::size_t changes = 0;
        for (const std::size_t c : chunk_changes_) changes += c;
        if (changes <= points_.rows / kSettledFraction) break;
        for (std::size_t c = 0; c < k_; ++c) {
            std::size_t count = 0;
            for (std::size_t chunk = 0; chunk < chunks_; ++chunk) count += chunk_counts_[chunk * k_ + c];
            if (count == 0) continue;  // an empty cluster keeps its centre
            for (std::size_t d = 0; d < dims_; ++d) {
                double sum = 0;
                for (std::size_t chunk = 0; chunk < chunks_; ++chunk) sum += chunk_sums_[(chunk * k_ + c) * dims_ + d];
                centroids_[d * k_ + c] = sum / static_cast<double>(count);
            }
        }
    }
    return std::move(cluster_);
}

}  // namespace

Result<std::vector<std::size_t>> kmeans_clusters(const KmeansPoints& points, std::size_t k, std::uint64_t seed,
                                                 std::size_t threads) {
    if (k < 1) return fail("k-means needs at least one cluster");
    if (k > points.rows)
        return fail(fmt::format("k-means cannot make {} clusters of {} row{}", k, points.rows,
                                points.rows == 1 ? "" : "s"));
    Clustering clustering(points, k, threads);
    if (auto status = clustering.fill_missing(); !status) return fail(std::move(status.error()));
    if (auto status = clustering.seed(seed); !status) return fail(std::move(status.error()));
    return clustering.iterate();
}

}  // namespace binscope
