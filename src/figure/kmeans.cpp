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
//
// Speed: a round reads the matrix once, a window of rows at a time. Only
// the rows whose distance bounds (kmeans_bounds.cpp) leave their cluster
// in doubt are compared with every centroid, a block of them at a time
// (see kmeans_points.cpp); all then add their values to their centroid's
// sums, block by block in row order. After the first rounds most rows
// are beyond doubt, and a round costs little more than those sums.
#include "figure/kmeans.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <fmt/format.h>
#include <memory>
#include <random>

#include "figure/kmeans_bounds.hpp"
#include "figure/kmeans_points.hpp"
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

// At most this many distances (8 bytes each) of the seeding's candidates
// are kept to spare a pass over the rows.
constexpr std::size_t kKeptDistances = std::size_t{4} << 20;

// Rows assigned in one go: their values stay in the processor's cache
// from the comparison of the doubtful ones to the sums.
constexpr std::size_t kWindowRows = 8 * kKmeansBlock;

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
    // Runs job(chunk, first_row, end_row, buffers) for every chunk on the
    // workers; each worker has its own buffers.
    template <class Job>
    Status each_chunk(const Job& job) const;
    std::size_t draw(std::mt19937_64& generator, const std::vector<double>& nearest, double total) const;
    Result<std::vector<double>> potentials(const std::vector<double>& candidates, const std::vector<double>& nearest,
                                           std::vector<double>* capped) const;
    Status add_centre(std::size_t c, std::size_t pick, std::vector<double>& nearest);
    std::vector<double> point(std::size_t row) const;

    struct Buffers;
    void assign_chunk(std::size_t chunk, std::size_t first, std::size_t end, Buffers& buffers);
    std::size_t assign_window(std::size_t first, std::size_t end, Buffers& buffers);
    void add_to_sums(std::size_t first, std::size_t end, double* sums, std::size_t* counts, Buffers& buffers) const;
    void move_centroids();

    const KmeansPoints& points_;
    std::size_t k_, dims_, chunk_, chunks_, threads_;
    std::unique_ptr<KmeansRows> rows_;
    std::vector<double> centroids_;  // k x dims, row-major
    std::vector<std::size_t> cluster_;
    std::unique_ptr<KmeansBounds> bounds_;
    bool moved_ = false;  // the centroids have moved since the bounds were set
    // Per chunk: centroid sums (k x dims), row counts (k), rows reassigned.
    std::vector<double> chunk_sums_;
    std::vector<std::size_t> chunk_counts_, chunk_changes_;
};

// One worker's scratch space: a block of rows, their indexes and their
// distances to the centres.
struct Clustering::Buffers {
    std::vector<double> block, distances;
    std::vector<std::size_t> rows;
    Buffers(std::size_t dims, std::size_t centres)
        : block(dims * kKmeansBlock), distances(centres * kKmeansBlock), rows(kKmeansBlock) {}
};

template <class Job>
Status Clustering::each_chunk(const Job& job) const {
    ChunkCounter counter(chunks_, 1);
    return run_on_workers(threads_, [&](std::size_t, const std::atomic<bool>& cancelled) {
        Buffers buffers(dims_, k_);
        std::size_t begin = 0, end = 0;
        while (!cancelled.load(std::memory_order_relaxed) && counter.next(begin, end))
            job(begin, begin * chunk_, std::min(points_.rows, (begin + 1) * chunk_), buffers);
    });
}

Status Clustering::fill_missing() {
    auto fill = column_fill(points_, chunk_, threads_);
    if (!fill) return fail(std::move(fill).error());
    rows_ = std::make_unique<KmeansRows>(points_, std::move(*fill));
    return {};
}

std::vector<double> Clustering::point(std::size_t row) const {
    std::vector<double> out(dims_);
    rows_->gather_row(row, out.data());
    return out;
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

// For each candidate row (their points row-major in `candidates`), the
// sum of squared distances to the nearest centre were it one more centre:
// chunk by chunk, each chunk's rows in order, the chunks' sums added in
// order. All candidates in one pass over the rows. When `capped` is
// given, it receives each candidate's row distances to the nearest centre
// (candidate-major), the nearest distances once that candidate is chosen.
Result<std::vector<double>> Clustering::potentials(const std::vector<double>& candidates,
                                                   const std::vector<double>& nearest,
                                                   std::vector<double>* capped) const {
    const std::size_t m = candidates.size() / std::max<std::size_t>(dims_, 1);
    std::vector<double> sums(chunks_ * m, 0.0);
    if (capped) capped->resize(m * points_.rows);
    auto status = each_chunk([&](std::size_t chunk, std::size_t first, std::size_t end, Buffers& buffers) {
        std::vector<double> distances(m * kKmeansBlock);
        for (std::size_t r = first; r < end; r += kKmeansBlock) {
            const std::size_t count = std::min(kKmeansBlock, end - r);
            for (std::size_t i = 0; i < count; ++i) buffers.rows[i] = r + i;
            rows_->gather_block(buffers.rows.data(), count, buffers.block.data());
            rows_->block_distances(buffers.block.data(), candidates.data(), m, distances.data());
            for (std::size_t t = 0; t < m; ++t)
                for (std::size_t i = 0; i < count; ++i) {
                    const double distance = std::min(distances[t * kKmeansBlock + i], nearest[r + i]);
                    sums[chunk * m + t] += distance;
                    if (capped) (*capped)[t * points_.rows + r + i] = distance;
                }
        }
    });
    if (!status) return fail(std::move(status.error()));
    std::vector<double> totals(m, 0.0);
    for (std::size_t chunk = 0; chunk < chunks_; ++chunk)
        for (std::size_t t = 0; t < m; ++t) totals[t] += sums[chunk * m + t];
    return totals;
}

// Row `pick` becomes centre c: each row's squared distance to its nearest
// centre takes it into account.
Status Clustering::add_centre(std::size_t c, std::size_t pick, std::vector<double>& nearest) {
    rows_->gather_row(pick, centroids_.data() + c * dims_);
    return each_chunk([&](std::size_t, std::size_t first, std::size_t end, Buffers& buffers) {
        for (std::size_t r = first; r < end; r += kKmeansBlock) {
            const std::size_t count = std::min(kKmeansBlock, end - r);
            for (std::size_t i = 0; i < count; ++i) buffers.rows[i] = r + i;
            rows_->gather_block(buffers.rows.data(), count, buffers.block.data());
            rows_->block_distances(buffers.block.data(), centroids_.data() + c * dims_, 1, buffers.distances.data());
            for (std::size_t i = 0; i < count; ++i) nearest[r + i] = std::min(nearest[r + i], buffers.distances[i]);
        }
    });
}

// Greedy k-means++: the first centre a row drawn uniformly; for each next
// one a few rows are drawn (see draw) and the one that leaves the smallest
// sum of squared distances to the nearest centre is taken (the first drawn
// among equals), which keeps two centres from starting in one tight
// cluster.
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
            std::vector<std::size_t> drawn{pick};
            std::vector<double> candidates = point(pick);
            for (std::size_t t = 1; t < tries; ++t) {
                drawn.push_back(draw(generator, nearest, total));
                const std::vector<double> candidate = point(drawn.back());
                candidates.insert(candidates.end(), candidate.begin(), candidate.end());
            }
            // The candidates' distances are kept for the chosen one when
            // they take little memory; otherwise another pass finds them.
            std::vector<double> capped;
            const bool keep = tries * points_.rows <= kKeptDistances;
            auto potential = potentials(candidates, nearest, keep ? &capped : nullptr);
            if (!potential) return fail(std::move(potential.error()));
            const auto best = static_cast<std::size_t>(std::min_element(potential->begin(), potential->end()) -
                                                       potential->begin());
            pick = drawn[best];
            if (keep) {
                rows_->gather_row(pick, centroids_.data() + c * dims_);
                std::copy_n(capped.begin() + static_cast<std::ptrdiff_t>(best * points_.rows), points_.rows,
                            nearest.begin());
                continue;
            }
        }
        if (auto status = add_centre(c, pick, nearest); !status) return status;
    }
    return {};
}

// Each row of the chunk to its nearest centroid (the lowest index among
// equals) and added to the chunk's sums in row order, a window of rows at
// a time.
void Clustering::assign_chunk(std::size_t chunk, std::size_t first, std::size_t end, Buffers& buffers) {
    double* sums = chunk_sums_.data() + chunk * k_ * dims_;
    std::size_t* counts = chunk_counts_.data() + chunk * k_;
    std::fill_n(sums, k_ * dims_, 0.0);
    std::fill_n(counts, k_, std::size_t{0});
    std::size_t changes = 0;
    for (std::size_t r = first; r < end; r += kWindowRows) {
        const std::size_t window_end = std::min(end, r + kWindowRows);
        changes += assign_window(r, window_end, buffers);
        add_to_sums(r, window_end, sums, counts, buffers);
    }
    chunk_changes_[chunk] = changes;
}

// The rows of [first, end) whose bounds leave their cluster in doubt
// (every row before the centroids first move) compared with every
// centroid, a block of them at a time; the number that changed cluster.
std::size_t Clustering::assign_window(std::size_t first, std::size_t end, Buffers& buffers) {
    std::size_t pending = 0, changes = 0;
    const auto compare = [&] {
        rows_->gather_block(buffers.rows.data(), pending, buffers.block.data());
        rows_->block_distances(buffers.block.data(), centroids_.data(), k_, buffers.distances.data());
        for (std::size_t i = 0; i < pending; ++i) {
            std::size_t best = 0;
            for (std::size_t c = 1; c < k_; ++c)
                if (buffers.distances[c * kKmeansBlock + i] < buffers.distances[best * kKmeansBlock + i]) best = c;
            const std::size_t r = buffers.rows[i];
            if (cluster_[r] != best) ++changes, cluster_[r] = best;
            bounds_->reset(r, best, buffers.distances.data() + i, kKmeansBlock);
        }
        pending = 0;
    };
    for (std::size_t r = first; r < end; ++r) {
        if (moved_ && bounds_->stays(r, cluster_[r])) continue;
        buffers.rows[pending++] = r;
        if (pending == kKmeansBlock) compare();
    }
    if (pending > 0) compare();
    return changes;
}

// The rows of [first, end), in order, added to their centroids' sums.
void Clustering::add_to_sums(std::size_t first, std::size_t end, double* sums, std::size_t* counts,
                             Buffers& buffers) const {
    for (std::size_t r = first; r < end; ++r) {
        ++counts[cluster_[r]];
        rows_->add_row(r, sums + cluster_[r] * dims_, buffers.block.data());
    }
}

// Each centroid to the mean of its rows, the chunks' sums added in chunk
// order; an empty cluster keeps its centre.
void Clustering::move_centroids() {
    for (std::size_t c = 0; c < k_; ++c) {
        std::size_t count = 0;
        for (std::size_t chunk = 0; chunk < chunks_; ++chunk) count += chunk_counts_[chunk * k_ + c];
        if (count == 0) continue;
        for (std::size_t d = 0; d < dims_; ++d) {
            double sum = 0;
            for (std::size_t chunk = 0; chunk < chunks_; ++chunk) sum += chunk_sums_[(chunk * k_ + c) * dims_ + d];
            centroids_[c * dims_ + d] = sum / static_cast<double>(count);
        }
    }
}

Result<std::vector<std::size_t>> Clustering::iterate() {
    cluster_.assign(points_.rows, k_);  // no cluster yet: every row changes in the first round
    bounds_ = std::make_unique<KmeansBounds>(points_.rows, dims_, k_);
    moved_ = false;
    chunk_sums_.assign(chunks_ * k_ * dims_, 0.0);
    chunk_counts_.assign(chunks_ * k_, 0);
    chunk_changes_.assign(chunks_, 0);
    for (std::size_t round = 0; round < kKmeansMaxIterations; ++round) {
        auto status = each_chunk([&](std::size_t chunk, std::size_t first, std::size_t end, Buffers& buffers) {
            assign_chunk(chunk, first, end, buffers);
        });
        if (!status) return fail(std::move(status.error()));
        std::size_t changes = 0;
        for (const std::size_t c : chunk_changes_) changes += c;
        if (changes <= points_.rows / kSettledFraction) break;
        const std::vector<double> before = centroids_;
        move_centroids();
        bounds_->centres_moved(before, centroids_);
        moved_ = true;
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
