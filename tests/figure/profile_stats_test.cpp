// profile_stats_test.cpp - per-bin mean, median, count and spread, missing
// values left out, the same at every thread count.
#include "figure/profile_stats.hpp"

#include <gtest/gtest.h>

#include <cmath>

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

}  // namespace
}  // namespace binscope
