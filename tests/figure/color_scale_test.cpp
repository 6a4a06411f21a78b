// color_scale_test.cpp - colour limits (percentiles, the user's, equal and
// missing values) and the colour maps' names and ends.
#include "figure/color_scale.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "figure/colormap.hpp"
#include "figure/figure_test_input.hpp"

namespace binscope {
namespace {

TEST(ColorScale, LimitsComeFromPercentilesTheUserOrTheValuesThemselves) {
    const float nan = NAN, inf = INFINITY;
    // Sample 1: 0..99 and one huge outlier (and missing values); sample 2:
    // all 7; sample 3: all missing; sample 4: all 0 but one 5.
    std::vector<float> values;
    for (int r = 0; r < 101; ++r) {
        const float first = r == 100 ? 1e9f : static_cast<float>(r);
        values.insert(values.end(), {first, nan, 7, nan, r == 50 ? 5.0f : 0.0f, r == 3 ? inf : r == 4 ? -inf : -0.0f});
    }
    auto owned = testing::make_input(values, {101}, {2, 2, 1, 1});
    ColorSettings settings;
    auto limits = color_limits(owned->input, settings, 2);
    ASSERT_TRUE(limits);
    // 101 finite values: ranks 1 and 99 of the sorted values.
    EXPECT_EQ((*limits)[0], (ColorLimits{1, 99}));
    EXPECT_EQ((*limits)[1], (ColorLimits{6.5, 7.5}));      // all equal: a range around the value
    EXPECT_EQ((*limits)[2], (ColorLimits{0, 5}));          // percentiles equal: smallest and largest
    EXPECT_EQ((*limits)[3], (ColorLimits{-0.5, 0.5}));  // infinities left out: all -0

    settings.z_min = {-1};
    settings.z_max = {10, 20, 30, 40};
    limits = color_limits(owned->input, settings, 2);
    ASSERT_TRUE(limits);
    EXPECT_EQ((*limits)[0], (ColorLimits{-1, 10}));
    EXPECT_EQ((*limits)[3], (ColorLimits{-1, 40}));

    // A shared scale: the percentiles of all 402 finite values (rank 396
    // is 95), for every limit not given.
    settings.shared_scale = true;
    settings.z_max = {};
    limits = color_limits(owned->input, settings, 2);
    ASSERT_TRUE(limits);
    for (const ColorLimits& l : *limits) EXPECT_EQ(l, (ColorLimits{-1, 95})) << l.low << " " << l.high;
    settings.shared_scale = false;

    settings.z_max = {1, 2};
    EXPECT_EQ(color_limits(owned->input, settings, 2).error().message(),
              "2 colour maximums given for 4 samples: give one for all samples or one per sample");
    settings.z_max = {};
    settings.z_min = {500};
    EXPECT_EQ(color_limits(owned->input, settings, 2).error().message(),
              "The colour range of sample 'sample 1' is empty: its minimum 500 is not below its maximum 99");
}

TEST(ColorScale, AllMissingGetsTheFixedRange) {
    auto owned = testing::make_input({NAN, NAN, NAN, NAN}, {2}, {2});
    auto limits = color_limits(owned->input, ColorSettings{}, 1);
    ASSERT_TRUE(limits);
    EXPECT_EQ(limits->front(), kLimitsWithoutValues);
}

TEST(ColorScale, RanksAreExactForAnyValues) {
    auto owned = testing::random_input({300}, {7}, 0.2, 11);
    std::vector<float> sorted;
    for (float v : owned->values)
        if (!std::isnan(v)) sorted.push_back(v - 5.0f);  // negative values too
    for (float& v : owned->values) v -= 5.0f;
    std::sort(sorted.begin(), sorted.end());
    for (std::size_t threads : {1, 3}) {
        auto selector = RankSelector::create(owned->input, 0, 7, threads);
        ASSERT_TRUE(selector);
        ASSERT_EQ(selector->count(), sorted.size());
        std::vector<std::size_t> ranks{0, 1, sorted.size() / 3, sorted.size() - 1};
        const auto got = selector->values_of_ranks(ranks);
        ASSERT_TRUE(got);
        for (std::size_t i = 0; i < ranks.size(); ++i) EXPECT_EQ((*got)[i], sorted[ranks[i]]);
    }
}

TEST(ColorMap, NamesReverseAndRefuseUnknownOnes) {
    auto viridis = find_color_map("viridis", false);
    ASSERT_TRUE(viridis);
    EXPECT_EQ(viridis->colors.front(), (Rgb{68, 1, 84}));   // #440154
    EXPECT_EQ(viridis->colors.back(), (Rgb{253, 231, 37}));  // #fde725
    EXPECT_EQ(viridis->at(0.0), viridis->colors.front());
    EXPECT_EQ(viridis->at(1.0), viridis->colors.back());
    EXPECT_EQ(viridis->at(-3.0), viridis->colors.front());
    EXPECT_EQ(find_color_map("viridis_r", false)->colors.front(), viridis->colors.back());
    EXPECT_EQ(find_color_map("viridis_r", true)->colors.front(), viridis->colors.front());
    auto diverging = find_color_map("blue_white_red", false);
    EXPECT_EQ(diverging->colors.front(), (Rgb{5, 48, 97}));
    EXPECT_EQ(diverging->colors.back(), (Rgb{103, 0, 31}));
    EXPECT_EQ(find_color_map("greys", false)->colors.front(), (Rgb{255, 255, 255}));
    // A list of colours: its first and last at the ends, the middle one half-way.
    const auto listed = color_map_from_list({"white", "#FF0000", "navy"});
    ASSERT_TRUE(listed);
    EXPECT_EQ(std::tuple(listed->colors.front(), listed->colors[128], listed->colors.back()),
              std::tuple(Rgb{255, 255, 255}, Rgb{254, 0, 1}, Rgb{0, 0, 128}));
    EXPECT_EQ(color_map_from_list({"red"}).error().message(), "Invalid --colorList: 1 colour; a map needs two or more");
    EXPECT_EQ(parse_named_color("grey").value(), (Rgb{128, 128, 128}));
    EXPECT_EQ(parse_named_color("#00ff7F").value(), (Rgb{0, 255, 127}));
    EXPECT_EQ(parse_named_color("Red").error().message(),
              "The colour 'Red' is neither a colour name nor of the form #rrggbb");
    for (const auto& name : color_map_names()) EXPECT_TRUE(find_color_map(name + "_r", false)) << name;
    EXPECT_EQ(find_color_map("jet", false).error().message(),
              "Unknown colour map 'jet': the colour maps are viridis, magma, inferno, plasma, cividis, greys, reds, "
              "blues, blue_white_red (each reversed with the suffix _r)");
    EXPECT_EQ(parse_color("#B3b3b3").value(), (Rgb{179, 179, 179}));
    EXPECT_EQ(parse_color("grey").error().message(), "The colour 'grey' is not of the form #rrggbb");
    EXPECT_FALSE(parse_color("#12345g"));
}

}  // namespace
}  // namespace binscope
