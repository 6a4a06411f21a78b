// profile_stats_test.cpp - per-bin mean, median, count and spread, missing
// values left out, the same at every thread count.
#include "figure/profile_stats.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>

#include "figure/figure_test_input.hpp"

namespace binscope {
namespace {

TEST(ProfileStats, StatisticsPerBinLeaveMissingValuesOut) {
    const float nan = NAN;
    // Bin 0: 1 2 3 6 (mean 3, median 2.5, sd sqrt(14/3)); bin 1: 4 only;
    // bin 2: none. Row 4 belongs to another group.
    auto owned = testing::make_input({1, nan, nan, 2, 4, nan, 3, nan, nan, 6, nan, nan, 100, 100, 100}, {4, 1}, {3});
    ProfileSettings settings;
    settings.band = ProfileBand::standard_deviation;
    auto line = profile_line(owned->input, 0, 4, 0, 3, settings, 1);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->count, (std::vector<std::size_t>{4, 1, 0}));
    EXPECT_DOUBLE_EQ(line->center[0], 3.0);
    EXPECT_DOUBLE_EQ(line->spread[0], std::sqrt(14.0 / 3.0));
    EXPECT_EQ(line->center[1], 4.0);
    EXPECT_EQ(line->spread[1], 0.0);
    EXPECT_TRUE(std::isnan(line->center[2]));
    settings.band = ProfileBand::standard_error;
    settings.statistic = ProfileStatistic::median;
    line = profile_line(owned->input, 0, 4, 0, 3, settings, 1);
    EXPECT_DOUBLE_EQ(line->center[0], 2.5);
    EXPECT_DOUBLE_EQ(line->spread[0], std::sqrt(14.0 / 3.0) / 2.0);
    settings.band = ProfileBand::none;
    line = profile_line(owned->input, 4, 5, 0, 3, settings, 1);
    EXPECT_EQ(line->center, (std::vector<double>{100, 100, 100}));
    EXPECT_EQ(line->spread, (std::vector<double>{0, 0, 0}));
}

TEST(ProfileStats, SameAtEveryThreadCount) {
    auto owned = testing::random_input({500}, {70}, 0.2, 3);
    for (auto statistic : {ProfileStatistic::mean, ProfileStatistic::median}) {
        ProfileSettings settings;
        settings.statistic = statistic;
        settings.band = ProfileBand::standard_error;
        auto one = profile_line(owned->input, 0, 500, 0, 70, settings, 1);
        auto four = profile_line(owned->input, 0, 500, 0, 70, settings, 4);
        ASSERT_TRUE(one && four);
        EXPECT_EQ(one->count, four->count);
        for (std::size_t i = 0; i < 70; ++i) {
            EXPECT_EQ(one->center[i], four->center[i]);
            EXPECT_EQ(one->spread[i], four->spread[i]);
        }
    }
}

// The mean of each bin is its values added in row order in float64, the
// missing ones left out: values whose sum rounds differently in another
// order, signed zeros and missing values, bins in and across column blocks.
TEST(ProfileStats, MeansAddEachBinsValuesInRowOrder) {
    auto owned = testing::random_input({700}, {150}, 0.0, 5);
    std::mt19937 random(5);
    std::uniform_int_distribution<int> pick(0, 9);
    for (float& v : owned->values) {
        const int k = pick(random);
        v = k < 2 ? NAN : k < 4 ? (k == 2 ? 3.0e15f : -3.0e15f) : k == 4 ? -0.0f : static_cast<float>(pick(random)) / 7.0f;
    }
    const FigureInput& in = owned->input;
    auto line = profile_line(in, 0, 700, 0, 150, ProfileSettings{}, 2);
    ASSERT_TRUE(line);
    for (std::size_t bin = 0; bin < 150; ++bin) {
        double sum = 0;
        std::size_t n = 0;
        for (std::size_t r = 0; r < 700; ++r) {
            const float v = in.values[in.row_order[r] * in.cols + bin];
            if (!std::isnan(v)) sum += v, ++n;
        }
        EXPECT_EQ(line->count[bin], n);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(line->center[bin]), std::bit_cast<std::uint64_t>(sum / static_cast<double>(n)))
            << "bin " << bin;
    }
}

}  // namespace
}  // namespace binscope
