// layout_test.cpp - the figures' geometry: nothing overlaps, everything
// inside the page, the page grown for a long title or a long legend.
#include "figure/layout.hpp"

#include <gtest/gtest.h>

namespace binscope {
namespace {

bool apart(const Box& a, const Box& b) {
    return a.right() <= b.x || b.right() <= a.x || a.bottom() <= b.y || b.bottom() <= a.y;
}

// Every box of a heat-map layout (the profiles and their scales, the heat
// maps, the colour bars, the missing-value swatch) is inside the page's
// margins and clear of every other.
void expect_apart_on_the_page(const HeatmapLayout& l) {
    std::vector<Box> boxes = l.profiles;
    boxes.insert(boxes.end(), l.profile_scales.begin(), l.profile_scales.end());
    boxes.insert(boxes.end(), l.heatmaps.begin(), l.heatmaps.end());
    boxes.insert(boxes.end(), l.color_bars.begin(), l.color_bars.end());
    boxes.push_back(l.missing_swatch);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        EXPECT_GE(boxes[i].x, kMargin);
        EXPECT_LE(boxes[i].right(), l.width - kMargin);
        EXPECT_LE(boxes[i].bottom(), l.height - kMargin);
        for (std::size_t j = i + 1; j < boxes.size(); ++j) EXPECT_TRUE(apart(boxes[i], boxes[j])) << i << " " << j;
    }
}

TEST(Layout, HeatmapPartsDoNotOverlapAndFitThePage) {
    // A bar per sample, stacked or not: the legend, taller than the
    // profiles, leaves no room for a bar beside each stacked heat map.
    for (const auto& [bars, stack] : {std::pair<std::size_t, std::size_t>{1, 1}, {3, 1}, {3, 3}}) {
        HeatmapSizes s;
        s.columns = 3;
        s.stack = stack;
        s.panel_width = 113;
        s.panel_height = 567;
        s.profile_height = 113;
        s.group_label_width = 80;
        s.legend_entries = 12;  // a legend taller than the profiles
        s.legend_label_width = 80;
        s.color_bars = bars;
        s.color_bar_label_width = bars > 1 ? 60 : 0;
        const HeatmapLayout l = layout_heatmap(s);
        expect_apart_on_the_page(l);
        EXPECT_GE(l.group_label_right - 80, kMargin);  // the widest group label fits left of the panels
        EXPECT_GE(l.color_bars.front().y, l.legend.y + 12 * kLegendRow);  // bars below the legend
        EXPECT_GE(l.legend.x, l.heatmaps.back().right());
    }
}

// Each stacked sample's colour bar and its title beside that sample's heat
// map in the first column, one bar wide.
void expect_bars_beside_first_stack(const HeatmapLayout& l) {
    for (std::size_t k = 0; k < l.color_bars.size(); ++k) {
        EXPECT_EQ(l.color_bars[k].x, l.color_bars[0].x);
        EXPECT_GE(l.color_bar_titles[k].y - kLabelFont, l.heatmaps[k].y);
        EXPECT_LE(l.color_bars[k].bottom(), l.heatmaps[k].bottom());
    }
    EXPECT_LT(l.width - l.legend.x, 2 * (kSwatch + 45));
}

// Columns of stacked heat maps wrapped onto rows, with profiles drawn as
// heat maps: nothing overlaps, everything on the page, a column's heat
// maps one under the other, each row of columns under the previous one's
// axes, and each profile's colour scale clear of the next column.
TEST(Layout, StackedColumnsWrapOntoRows) {
    for (bool stack_axes : {false, true})
        for (bool scale : {false, true}) {
            HeatmapSizes s;
            s.columns = 5;
            s.stack = 3;
            s.per_row = 2;
            s.panel_width = 100;
            s.panel_height = 80;
            s.profile_height = 60;
            s.group_label_width = 70;
            s.color_bars = 3;
            s.color_bar_label_width = 50;
            s.x_label = s.y_label = true;
            s.stack_axes = stack_axes;
            s.profile_scale = scale;
            const HeatmapLayout l = layout_heatmap(s);
            ASSERT_EQ(l.heatmaps.size(), 15u);
            ASSERT_EQ(l.profile_scales.size(), scale ? 5u : 0u);
            EXPECT_EQ(l.per_row, 2u);
            expect_apart_on_the_page(l);
            for (std::size_t c = 0; c < 5; ++c) {
                EXPECT_EQ(l.profiles[c].x, l.profiles[c % 2].x);
                for (std::size_t k = 1; k < 3; ++k) {
                    const Box above = l.heatmaps[c * 3 + k - 1], box = l.heatmaps[c * 3 + k];
                    EXPECT_EQ(box.x, above.x);
                    EXPECT_GE(box.y, above.bottom() + (stack_axes ? x_label_offset() - kLabelFont : 0));
                }
                if (c >= 2) {  // the title of a row's column under the axis label of the row above
                    EXPECT_GT(l.column_titles[c].y - kLabelFont, l.heatmaps[(c - 2) * 3 + 2].bottom() + x_label_offset());
                }
                if (scale) {  // room for the scale's tick labels before the next column or the legend
                    EXPECT_LE(l.profile_scales[c].right() + 25, c % 2 == 0 && c + 1 < 5 ? l.profiles[c + 1].x : l.legend.x);
                }
            }
            expect_bars_beside_first_stack(l);
            EXPECT_GE(l.heatmaps[0].x - l.y_label_offset - kLabelFont, kMargin);
            EXPECT_GE(l.group_label_right - 70, kMargin);
            EXPECT_GE(l.legend.x, l.heatmaps[3].right() + (scale ? 30 : 0));
            // Heat maps and colour bars only: the bars beside them just the same.
            s.profile = false;
            expect_bars_beside_first_stack(layout_heatmap(s));
        }
}

TEST(Layout, PageGrowsForALongTitle) {
    ProfileSizes s;
    s.panel_width = 100;
    s.panel_height = 100;
    const double narrow = layout_profiles(s).width;
    s.title_width = 2000;
    const ProfileLayout l = layout_profiles(s);
    EXPECT_EQ(l.width, 2000 + 2 * kMargin);
    EXPECT_GT(narrow, 0);
    EXPECT_EQ(l.title.x, l.width / 2);
    EXPECT_GT(l.panels[0].y, l.title.y);
}

// Axis labels add their room under and left of the panels; a legend
// inside a panel or none takes no room beside them.
TEST(Layout, RoomForAxisLabelsAndTheLegend) {
    ProfileSizes s;
    s.panels = 2;
    s.panel_width = 100;
    s.panel_height = 100;
    s.legend_entries = 3;
    s.legend_label_width = 50;
    const ProfileLayout plain = layout_profiles(s);
    s.x_label = s.y_label = true;
    const ProfileLayout labelled = layout_profiles(s);
    EXPECT_EQ(labelled.height, plain.height + kAxisLabelRoom);
    EXPECT_EQ(labelled.panels[0].x, plain.panels[0].x + kAxisLabelRoom);
    EXPECT_GE(labelled.panels[0].x - labelled.y_label_offset - kLabelFont, kMargin);
    s.legend_beside = false;
    s.legend_entries = 0;
    EXPECT_EQ(layout_profiles(s).width, labelled.panels[1].right() + kMargin);
    // One panel per row: the second under the first, below its axis label.
    s.per_row = 1;
    const ProfileLayout wrapped = layout_profiles(s);
    EXPECT_EQ(wrapped.panels[1].x, wrapped.panels[0].x);
    EXPECT_GT(wrapped.panel_titles[1].y - kLabelFont, wrapped.panels[0].bottom() + x_label_offset());
    EXPECT_GE(wrapped.height - kMargin, wrapped.panels[1].bottom() + x_label_offset());

    HeatmapSizes h;
    h.panel_width = h.panel_height = h.profile_height = 100;
    const HeatmapLayout heat = layout_heatmap(h);
    h.x_label = h.y_label = true;
    const HeatmapLayout heat_labelled = layout_heatmap(h);
    EXPECT_GE(heat_labelled.height - kMargin, heat_labelled.heatmaps[0].bottom() + x_label_offset());

    // Parts left out take no room: heat maps where the profiles were, a
    // page that ends under the profiles, no colour bar.
    h = {};
    h.panel_width = h.panel_height = h.profile_height = 100;
    h.profile = false;
    EXPECT_EQ(layout_heatmap(h).heatmaps[0].y, heat.profiles[0].y);
    h.profile = true;
    h.heatmap = h.color_bar = false;
    const HeatmapLayout profiles_only = layout_heatmap(h);
    EXPECT_TRUE(profiles_only.color_bars.empty());
    EXPECT_LT(profiles_only.height, heat.heatmaps[0].y + kMargin + 1);
    EXPECT_GE(profiles_only.height, heat.profiles[0].bottom() + kMargin);
    EXPECT_EQ(heat_labelled.profiles[0].x, heat.profiles[0].x + kAxisLabelRoom);
}

}  // namespace
}  // namespace binscope
