// kmeans_test.cpp - k-means: known answers, missing values, determinism at
// every thread count, and refusals.
#include "figure/kmeans.hpp"
#include "figure/kmeans_bounds.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <numeric>
#include <random>
#include <vector>

#include "figure/test_points.hpp"

namespace binscope {
namespace {

constexpr float kNaN = NAN;

// A matrix of rows x cols and the clusters of all its columns.
struct Points : testing::OwnedPoints {
    using OwnedPoints::OwnedPoints;
    Result<std::vector<std::size_t>> clusters(std::size_t k, std::uint64_t seed = 0, std::size_t threads = 1) const {
        return kmeans_clusters(points(), k, seed, threads);
    }
};

// A fixed pseudo-random sequence of the test's own (not the library's
// distributions), so that the data are the same everywhere.
struct Lcg {
    std::uint64_t state;
    double next() {
        state = state * 6364136223846793005u + 1442695040888963407u;
        return static_cast<double>(state >> 11) * 0x1.0p-53;
    }
};

// Rows of three well-separated blobs, interleaved: row r belongs to blob r % 3.
Points blobs(std::size_t rows, std::uint64_t seed) {
    const double centres[3][2] = {{0, 0}, {10, 10}, {-10, 5}};
    Lcg lcg{seed};
    std::vector<float> v;
    for (std::size_t r = 0; r < rows; ++r)
        for (const double centre : centres[r % 3]) v.push_back(static_cast<float>(centre + lcg.next() - 0.5));
    return Points(v, 2);
}

// Two partitions are the same up to the clusters' names.
bool same_partition(const std::vector<std::size_t>& a, const std::vector<std::size_t>& b) {
    std::map<std::size_t, std::size_t> a_to_b, b_to_a;
    for (std::size_t r = 0; r < a.size(); ++r)
        if (a_to_b.try_emplace(a[r], b[r]).first->second != b[r] || b_to_a.try_emplace(b[r], a[r]).first->second != a[r])
            return false;
    return a.size() == b.size();
}

// The documented algorithm written plainly, one row and one value at a
// time: missing values take their column's mean, greedy k-means++ seeding,
// Lloyd's rounds; sums over rows in chunks of max(4096, 64 k) rows, each
// in row order, the chunks' sums added in order; distances summed in
// dimension order.
class Reference {
public:
    explicit Reference(const Points& points) : points_(points), rows_(points.rows), dims_(points.columns.size()) {}

    std::vector<std::size_t> clusters(std::size_t k, std::uint64_t seed) {
        chunk_ = std::max<std::size_t>(4096, k * 64);
        fill_missing();
        std::vector<double> centres = seeded(k, seed);
        std::vector<std::size_t> cluster(rows_, k);
        for (std::size_t round = 0; round < kKmeansMaxIterations; ++round) {
            std::size_t changes = 0;
            for (std::size_t r = 0; r < rows_; ++r) {
                std::size_t best = 0;
                for (std::size_t c = 1; c < k; ++c)
                    if (distance(r, &centres[c * dims_]) < distance(r, &centres[best * dims_])) best = c;
                if (cluster[r] != best) ++changes, cluster[r] = best;
            }
            if (changes <= rows_ / 1000) break;
            for (std::size_t c = 0; c < k; ++c) {
                const auto in = [&](std::size_t r) { return cluster[r] == c ? 1.0 : 0.0; };
                if (chunked(in) == 0) continue;
                for (std::size_t d = 0; d < dims_; ++d)
                    centres[c * dims_ + d] = chunked([&](std::size_t r) { return in(r) * x_[r * dims_ + d]; }) /
                                             chunked(in);
            }
        }
        return cluster;
    }

private:
    void fill_missing() {
        x_.resize(rows_ * dims_);
        for (std::size_t d = 0; d < dims_; ++d) {
            const auto value = [&](std::size_t r) { return points_.values[r * points_.cols + points_.columns[d]]; };
            const auto sum = chunked([&](std::size_t r) { return std::isfinite(value(r)) ? value(r) : 0.0; });
            const auto count = chunked([&](std::size_t r) { return std::isfinite(value(r)) ? 1.0 : 0.0; });
            for (std::size_t r = 0; r < rows_; ++r)
                x_[r * dims_ + d] = std::isfinite(value(r)) ? value(r) : count > 0 ? sum / count : 0.0;
        }
    }
    double distance(std::size_t r, const double* centre) const {
        double sum = 0;
        for (std::size_t d = 0; d < dims_; ++d) sum += (x_[r * dims_ + d] - centre[d]) * (x_[r * dims_ + d] - centre[d]);
        return sum;
    }
    template <class Term>
    double chunked(Term term) const {
        double total = 0;
        for (std::size_t first = 0; first < rows_; first += chunk_) {
            double sum = 0;
            for (std::size_t r = first; r < std::min(rows_, first + chunk_); ++r) sum += term(r);
            total += sum;
        }
        return total;
    }
    std::size_t draw(std::mt19937_64& generator, const std::vector<double>& nearest, double total) const {
        const double target = static_cast<double>(generator() >> 11) * 0x1.0p-53 *
                              (total > 0 ? total : static_cast<double>(rows_));
        if (!(total > 0)) return std::min(rows_ - 1, static_cast<std::size_t>(target));
        std::size_t pick = 0;
        double running = 0;
        for (std::size_t r = 0; r < rows_; ++r) {
            if (nearest[r] > 0) pick = r;
            running += nearest[r];
            if (running > target && nearest[r] > 0) break;
        }
        return pick;
    }
    std::vector<double> seeded(std::size_t k, std::uint64_t seed) const {
        std::mt19937_64 generator(seed);
        std::vector<double> nearest(rows_, INFINITY), centres;
        for (std::size_t c = 0; c < k; ++c) {
            double total = 0;
            for (std::size_t r = 0; c > 0 && r < rows_; ++r) total += nearest[r];
            std::size_t pick = draw(generator, nearest, total);
            const auto potential = [&](std::size_t candidate) {
                return chunked([&](std::size_t r) { return std::min(distance(r, &x_[candidate * dims_]), nearest[r]); });
            };
            if (c > 0 && total > 0) {
                double best = potential(pick);
                for (std::size_t t = 1; t < 2 + static_cast<std::size_t>(std::log(static_cast<double>(k))); ++t) {
                    const std::size_t candidate = draw(generator, nearest, total);
                    if (potential(candidate) < best) best = potential(candidate), pick = candidate;
                }
            }
            centres.insert(centres.end(), &x_[pick * dims_], &x_[pick * dims_] + dims_);
            for (std::size_t r = 0; r < rows_; ++r) nearest[r] = std::min(nearest[r], distance(r, &x_[pick * dims_]));
        }
        return centres;
    }

    const Points& points_;
    std::size_t rows_, dims_, chunk_ = 0;
    std::vector<double> x_;  // rows x dims, missing values filled
};

std::vector<std::size_t> every_column(std::size_t cols) {
    std::vector<std::size_t> columns(cols);
    for (std::size_t c = 0; c < cols; ++c) columns[c] = c;
    return columns;
}

// The clustering's blocks of rows and vector lanes give the plain
// algorithm's clusters exactly: random matrices with missing values, rows
// that fill no whole block, an odd number of dimensions, the chosen
// columns following each other from the first or a later column or not,
// several chunks, several k and thread counts.
TEST(Kmeans, SameClustersAsThePlainAlgorithm) {
    struct Case {
        std::size_t rows, cols;
        std::vector<std::size_t> columns;
        std::size_t k;
    };
    const std::vector<Case> cases = {
        {203, 7, {0, 1, 2, 3, 4, 5, 6}, 3}, {203, 7, {2, 3, 4}, 5},      {150, 9, {8, 0, 4, 5}, 2},
        {97, 5, {1, 2, 3, 4}, 9},           {61, 3, {0, 1, 2}, 1},       {9000, 6, {1, 2, 3, 4, 5}, 4},
        {40, 17, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}, 8},
        // Overlapping clusters split further than they go: many rounds,
        // many rows near the border of two clusters, where the distance
        // bounds must give way to a full comparison.
        {6000, 24, every_column(24), 7},
        // More centres than get a distance bound each: one bound for all.
        {600, 5, every_column(5), kKmeansBoundedCentres + 6},
    };
    Lcg lcg{5};
    for (const Case& c : cases) {
        std::vector<float> v(c.rows * c.cols);
        for (std::size_t i = 0; i < v.size(); ++i) {
            const double x = lcg.next();
            v[i] = x < 0.04 ? kNaN : x < 0.05 ? -INFINITY : static_cast<float>(lcg.next() * 3 + static_cast<double>((i / c.cols) % 3));
        }
        Points points(v, c.cols);
        points.columns = c.columns;
        Reference reference(points);
        for (const std::uint64_t seed : {0, 1}) {
            const auto expected = reference.clusters(c.k, seed);
            for (const std::size_t threads : {1, 3}) {
                const auto found = points.clusters(c.k, seed, threads);
                ASSERT_TRUE(found);
                EXPECT_EQ(*found, expected) << c.rows << " rows, k " << c.k << ", seed " << seed << ", " << threads
                                            << " threads";
            }
        }
    }
}

TEST(Kmeans, FindsWellSeparatedClustersFromEverySeed) {
    const Points points = blobs(300, 7);
    std::vector<std::size_t> truth(points.rows);
    for (std::size_t r = 0; r < truth.size(); ++r) truth[r] = r % 3;
    for (std::uint64_t seed = 0; seed < 20; ++seed) {
        const auto found = points.clusters(3, seed);
        ASSERT_TRUE(found);
        EXPECT_TRUE(same_partition(*found, truth)) << "seed " << seed;
    }
}

// Missing and infinite values take their column's mean over the rows that
// have a finite value.
TEST(Kmeans, MissingValuesTakeTheirColumnsMean) {
    // Column 0 has the finite values 0, 0, 10, 10, 10, 10: mean 20/3, so
    // the last two rows sit at (6.67, 0.1) and (6.67, 10): each nearer the
    // blob of its second value, by the first column's mean alone.
    const Points points({0, 0, 0, 0.2f, 10, 10, 10, 10.2f, 10, 10, 10, 9.8f, kNaN, 0.1f, INFINITY, 10}, 2);
    const auto found = points.clusters(2);
    ASSERT_TRUE(found);
    EXPECT_TRUE(same_partition(*found, {0, 0, 1, 1, 1, 1, 0, 1}));
    // A column without any value counts as 0 everywhere; rows of nothing
    // at all are clustered too.
    // The last row sits at (0, 34.2), nearer the low blob.
    const Points empty_column({kNaN, 1, kNaN, 1.1f, kNaN, 1.2f, kNaN, 0.9f, kNaN, 100, kNaN, 101, kNaN, kNaN}, 2);
    const auto with_empty = empty_column.clusters(2);
    ASSERT_TRUE(with_empty);
    EXPECT_TRUE(same_partition(*with_empty, {0, 0, 0, 0, 1, 1, 0}));
}

TEST(Kmeans, EdgesOfK) {
    const Points points({1, 5, 9, 2, 7}, 1);
    const auto one_each = points.clusters(5);
    ASSERT_TRUE(one_each);
    EXPECT_TRUE(same_partition(*one_each, {0, 1, 2, 3, 4}));
    const auto one = points.clusters(1);
    ASSERT_TRUE(one);
    EXPECT_EQ(*one, (std::vector<std::size_t>(5, 0)));
    // Identical rows: the clusters that find no row stay empty.
    const auto same = Points({3, 3, 3, 3}, 1).clusters(3);
    ASSERT_TRUE(same);
    EXPECT_TRUE(same_partition(*same, {0, 0, 0, 0}));

    EXPECT_EQ(points.clusters(0).error().message(), "k-means needs at least one cluster");
    EXPECT_EQ(points.clusters(6).error().message(), "k-means cannot make 6 clusters of 5 rows");
    EXPECT_EQ(Points({1}, 1).clusters(2).error().message(), "k-means cannot make 2 clusters of 1 row");
}

// Rows over several chunks, with missing values: the same clusters at 1
// and 4 threads, and on every run. The cluster sizes are recorded: a
// change of the generator, its conversion to doubles or the order of a
// sum shows here on every machine.
TEST(Kmeans, SameClustersAtEveryThreadCountAndRun) {
    Lcg lcg{11};
    std::vector<float> v(5000 * 6);
    for (std::size_t i = 0; i < v.size(); ++i) {
        const double x = lcg.next();
        v[i] = x < 0.05 ? kNaN : static_cast<float>(x * 10 + static_cast<double>((i / 6) % 4));
    }
    const Points points(v, 6);
    const auto one = points.clusters(5, 3, 1);
    ASSERT_TRUE(one);
    for (const std::size_t threads : {4, 1, 3})
        EXPECT_EQ(*points.clusters(5, 3, threads), *one) << threads << " threads";
    std::vector<std::size_t> sizes(5);
    for (const std::size_t c : *one) ++sizes[c];
    EXPECT_EQ(sizes, (std::vector<std::size_t>{1075, 982, 916, 1038, 989}));
    // Another seed, another start (the clusters found may still agree).
    EXPECT_TRUE(points.clusters(5, 4, 2));
}

}  // namespace
}  // namespace binscope
