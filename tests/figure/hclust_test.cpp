// hclust_test.cpp - hierarchical clustering against a plain reference
// (every cluster distance recomputed from the rows at every step), ties,
// the same clusters at every thread count, and its refusals.
#include "figure/hclust.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

#include "figure/test_points.hpp"

namespace binscope {
namespace {

struct Points : testing::OwnedPoints {
    using OwnedPoints::OwnedPoints;
    Result<std::vector<std::size_t>> clusters(std::size_t k, std::size_t threads = 1) const {
        return hclust_clusters(points(), k, threads);
    }
};

// The plain algorithm: while more than k clusters remain, merge the two
// whose rows are closest on average (each pair's Euclidean distance, a
// missing value taking its column's mean), the pair of first rows that
// comes first on a tie; clusters numbered by their first rows.
std::vector<std::size_t> reference(const Points& p, std::size_t k) {
    std::vector<double> fill(p.cols, 0.0);
    for (std::size_t c = 0; c < p.cols; ++c) {
        double sum = 0;
        std::size_t count = 0;
        for (std::size_t r = 0; r < p.rows; ++r)
            if (std::isfinite(p.values[r * p.cols + c])) sum += p.values[r * p.cols + c], ++count;
        if (count > 0) fill[c] = sum / static_cast<double>(count);
    }
    auto value = [&](std::size_t r, std::size_t c) {
        const float v = p.values[r * p.cols + c];
        return std::isfinite(v) ? static_cast<double>(v) : fill[c];
    };
    auto distance = [&](std::size_t a, std::size_t b) {
        double sum = 0;
        for (std::size_t c = 0; c < p.cols; ++c) sum += (value(a, c) - value(b, c)) * (value(a, c) - value(b, c));
        return std::sqrt(sum);
    };
    std::vector<std::vector<std::size_t>> clusters(p.rows);
    for (std::size_t r = 0; r < p.rows; ++r) clusters[r] = {r};
    while (clusters.size() > k) {
        std::size_t best_a = 0, best_b = 1;
        double best = std::numeric_limits<double>::infinity();
        for (std::size_t a = 0; a < clusters.size(); ++a)
            for (std::size_t b = a + 1; b < clusters.size(); ++b) {
                double sum = 0;
                for (const std::size_t x : clusters[a])
                    for (const std::size_t y : clusters[b]) sum += distance(x, y);
                const double average = sum / static_cast<double>(clusters[a].size() * clusters[b].size());
                if (average < best) best = average, best_a = a, best_b = b;
            }
        clusters[best_a].insert(clusters[best_a].end(), clusters[best_b].begin(), clusters[best_b].end());
        clusters.erase(clusters.begin() + static_cast<std::ptrdiff_t>(best_b));
    }
    std::vector<std::size_t> out(p.rows);
    for (std::size_t c = 0; c < clusters.size(); ++c)
        for (const std::size_t r : clusters[c]) out[r] = c;  // clusters stay in order of their first rows
    return out;
}

Points random_points(std::size_t rows, std::size_t cols, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-3.0f, 7.0f);
    std::bernoulli_distribution missing(0.1);
    std::vector<float> v(rows * cols);
    for (auto& x : v) x = missing(random) ? std::numeric_limits<float>::quiet_NaN() : value(random);
    return Points(v, cols);
}

TEST(Hclust, SameClustersAsThePlainAlgorithmAtEveryThreadCount) {
    // (rows, cols, k): a tile of rows and more than one, an odd dimension count.
    const std::tuple<std::size_t, std::size_t, std::size_t> cases[] = {
        {2, 3, 1}, {5, 1, 2}, {40, 5, 3}, {70, 9, 4}, {130, 2, 6}, {97, 17, 97},
    };
    unsigned seed = 1;
    for (const auto& [rows, cols, k] : cases) {
        const Points p = random_points(rows, cols, seed++);
        const auto expected = reference(p, k);
        for (const std::size_t threads : {1u, 4u}) {
            const auto got = p.clusters(k, threads);
            ASSERT_TRUE(got) << got.error().message();
            EXPECT_EQ(*got, expected) << rows << " rows, k " << k << ", " << threads << " threads";
        }
    }
}

// Interleaved high and low rows, equal rows (ties broken by row order) and
// a column without any value.
TEST(Hclust, SeparatesPatternsAndBreaksTiesByRowOrder) {
    std::vector<float> v;
    for (int r = 0; r < 12; ++r) v.insert(v.end(), {r % 2 ? 50.0f + r : 1.0f - 0.1f * r, NAN});
    const auto split = Points(v, 2).clusters(2, 3);
    ASSERT_TRUE(split);
    for (std::size_t r = 0; r < 12; ++r) EXPECT_EQ((*split)[r], r % 2) << r;

    const Points same(std::vector<float>(5 * 3, 2.5f), 3);
    EXPECT_EQ(same.clusters(2).value(), (std::vector<std::size_t>{0, 0, 0, 0, 1}));
    EXPECT_EQ(same.clusters(5).value(), (std::vector<std::size_t>{0, 1, 2, 3, 4}));
    // Values at the edge of a float: distances beyond it count as infinite, and every row is still placed.
    const Points huge({3e38f, -3e38f, 3e38f, 0.0f, 1.0f, -3e38f}, 1);
    const auto placed = huge.clusters(3, 2);
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->size(), 6u);
}

TEST(Hclust, Refusals) {
    const std::pair<Result<std::vector<std::size_t>>, std::string> cases[] = {
        {Points({1, 2, 3}, 1).clusters(0), "hierarchical clustering cannot make 0 clusters of 3 rows"},
        {Points({1, 2, 3}, 1).clusters(4), "hierarchical clustering cannot make 4 clusters of 3 rows"},
        {Points(std::vector<float>(kHclustMaxRows + 1, 1.0f), 1).clusters(2),
         "hierarchical clustering runs on at most 6000 rows and the matrix has 6001; use --kmeans for more rows"},
    };
    for (const auto& [result, message] : cases) {
        ASSERT_FALSE(result) << message;
        EXPECT_EQ(result.error().message(), message);
    }
    EXPECT_TRUE(Points(std::vector<float>(300, 1.0f), 1).clusters(2));
}

}  // namespace
}  // namespace binscope
