// downsample_test.cpp - raster cells against a brute-force mean of the
// cells they cover, and the cuts' rules: groups never mixed, shares fair.
#include "figure/downsample.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "figure/figure_test_input.hpp"

namespace binscope {
namespace {

// The mean of drawn rows [r0, r1) and columns [c0, c1) (from col_begin),
// NaN left out, summed in the plainest way.
float brute_mean(const FigureInput& in, std::size_t col_begin, std::size_t r0, std::size_t r1, std::size_t c0,
                 std::size_t c1) {
    double sum = 0;
    std::size_t n = 0;
    for (std::size_t r = r0; r < r1; ++r)
        for (std::size_t c = c0; c < c1; ++c) {
            const float v = in.values[in.row_order[r] * in.cols + col_begin + c];
            if (!std::isnan(v)) sum += v, ++n;
        }
    return n == 0 ? NAN : static_cast<float>(sum / static_cast<double>(n));
}

TEST(Downsample, CellsAreTheMeansOfTheCellsTheyCoverAndNeverMixGroups) {
    struct Case {
        std::vector<std::size_t> groups;
        std::vector<std::size_t> bins;
        std::size_t pixel_rows, pixel_cols;
        double missing;
    };
    const Case cases[] = {
        {{1000}, {40}, 97, 13, 0.1},               // rows and columns above the pixels, not dividing them
        {{37, 1, 211, 5}, {7, 9}, 50, 20, 0.3},    // groups of one row, boundaries inside pixel rows
        {{3, 4}, {5}, 100, 50, 0.0},               // fewer rows and columns than pixels
        {{10, 10}, {8}, 1, 3, 0.5},                // fewer pixels than groups
        {{400, 3, 0, 97}, {30, 30}, 64, 30, 0.9},  // an empty group, mostly missing
    };
    unsigned seed = 1;
    for (const auto& c : cases) {
        auto owned = testing::random_input(c.groups, c.bins, c.missing, seed++);
        const FigureInput& in = owned->input;
        const auto row_cuts = row_edges(in.group_boundaries, c.pixel_rows);
        ASSERT_EQ(row_cuts.front(), 0u);
        ASSERT_EQ(row_cuts.back(), in.rows());
        for (std::size_t g = 0; g < in.group_boundaries.size(); ++g)  // every boundary is a cut
            EXPECT_TRUE(std::binary_search(row_cuts.begin(), row_cuts.end(), in.group_boundaries[g]));
        const bool shrunk = in.rows() > c.pixel_rows && in.group_labels.size() <= c.pixel_rows;
        EXPECT_EQ(row_cuts.size() - 1, shrunk ? c.pixel_rows : std::max(in.rows() <= c.pixel_rows ? in.rows() : 0,
                                                                          row_cuts.size() - 1));
        for (std::size_t s = 0; s < c.bins.size(); ++s) {
            const auto col_cuts = even_edges(c.bins[s], c.pixel_cols);
            EXPECT_EQ(col_cuts.size() - 1, std::min(c.bins[s], c.pixel_cols));
            for (std::size_t threads : {1, 4}) {
                auto raster = downsample(in, in.sample_boundaries[s], row_cuts, col_cuts, threads);
                ASSERT_TRUE(raster);
                for (std::size_t r = 0; r < raster->rows; ++r)
                    for (std::size_t k = 0; k < raster->cols; ++k) {
                        const float want = brute_mean(in, in.sample_boundaries[s], row_cuts[r], row_cuts[r + 1],
                                                      col_cuts[k], col_cuts[k + 1]);
                        const float got = raster->at(r, k);
                        if (std::isnan(want)) {
                            EXPECT_TRUE(std::isnan(got));
                        } else {
                            EXPECT_EQ(got, want) << "row " << r << " col " << k;
                        }
                    }
            }
        }
    }
}

TEST(Downsample, PixelsAreSharedInProportionAndEveryGroupGetsOne) {
    EXPECT_EQ(share_pixels({50, 30, 20}, 10), (std::vector<std::size_t>{5, 3, 2}));
    EXPECT_EQ(share_pixels({1000, 1, 1}, 10), (std::vector<std::size_t>{8, 1, 1}));
    EXPECT_EQ(share_pixels({1, 1, 0, 1}, 2), (std::vector<std::size_t>{1, 1, 0, 1}));  // more groups than pixels
    EXPECT_EQ(share_pixels({3, 3, 3}, 7), (std::vector<std::size_t>{3, 2, 2}));          // ties: the first first
    EXPECT_EQ(share_pixels({2, 100}, 50), (std::vector<std::size_t>{1, 49}));
    EXPECT_EQ(even_edges(10, 4), (std::vector<std::size_t>{0, 2, 5, 7, 10}));
    EXPECT_EQ(even_edges(3, 8), (std::vector<std::size_t>{0, 1, 2, 3}));
    EXPECT_EQ(even_edges(0, 8), (std::vector<std::size_t>{0}));
}

}  // namespace
}  // namespace binscope
