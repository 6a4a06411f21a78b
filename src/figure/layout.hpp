// layout.hpp - where every part of a figure goes, in points, worked out
// from sizes alone (text widths estimated), so it is testable without a
// surface and the painting code only places what it is told.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace binscope {

inline constexpr double kTitleFont = 12;  // the figure's title
inline constexpr double kLabelFont = 9;   // panel titles, group labels, legends
inline constexpr double kTickFont = 7;    // tick labels
inline constexpr double kMargin = 10;     // around the figure
inline constexpr double kLegendRow = 11;  // one line of a legend
inline constexpr double kSwatch = 10;     // a legend's colour square, a colour bar's width

// A legend shows at most this many lines: with more entries, the first
// kMaxLegendLines - 1 of them and a last line that counts the rest.
inline constexpr std::size_t kMaxLegendLines = 30;

// A rectangle; y grows downwards.
struct Box {
    double x = 0, y = 0, width = 0, height = 0;
    double right() const { return x + width; }
    double bottom() const { return y + height; }
};

// A text anchor: x the centre (or the edge the text is aligned to), y the baseline.
struct Anchor {
    double x = 0, y = 0;
};

// Estimated width of `text` (UTF-8) at `font_size` points: DejaVu Sans
// averages about 0.6 em per character.
double text_width(std::string_view text, double font_size);

// How many of a legend's `entries` have a line of their own, and the text
// of the last line that counts the others ("and N more"; empty when none
// is left out).
std::size_t legend_shown(std::size_t entries);
std::string legend_rest_text(std::size_t entries);

// The lines a legend of `entries` entries takes.
std::size_t legend_lines(std::size_t entries);

// The widest text of a legend of `labels`, at the label font.
double legend_label_width(const std::vector<std::string>& labels);

// The widest of `texts` at `font_size` points (0 for none).
double widest_text(const std::vector<std::string>& texts, double font_size);

// Centimetres to points.
double cm_to_points(double cm);

struct HeatmapSizes {
    std::size_t columns = 1;         // a column per sample, or per group
    std::size_t stack = 1;           // heat maps stacked in each column
    std::size_t per_row = 0;         // columns in a row before the next row starts (0: all in one row)
    double panel_width = 0, panel_height = 0, profile_height = 0;  // points
    double title_width = 0;          // 0: no title
    double group_label_width = 0;    // the widest label left of the panels (groups, or stacked samples)
    std::size_t legend_entries = 0;  // lines of the profile legend
    double legend_label_width = 0;   // the widest of their labels
    std::size_t color_bars = 1;      // one, or one per sample
    double color_bar_label_width = 0;  // the widest title above a colour bar (0: none)
    bool x_label = false;            // an axis label under the heat maps
    bool y_label = false;            // an axis label left of the first profile
    bool profile = true, heatmap = true, color_bar = true;  // the parts drawn (a part left out takes no room)
    bool stack_axes = false;         // an x axis under every stacked heat map, not just the bottom one
    bool profile_scale = false;      // profiles drawn as heat maps: a colour scale right of each
};

struct HeatmapLayout {
    double width = 0, height = 0;
    std::size_t per_row = 1;             // columns in a row
    Anchor title;                        // centred
    std::vector<Anchor> column_titles;   // centred over each column
    std::vector<Box> profiles;           // one per column
    std::vector<Box> profile_scales;     // right of each profile, with HeatmapSizes::profile_scale
    std::vector<Box> heatmaps;           // column c's k-th from the top at c * stack + k
    double group_label_right = 0;        // labels left of a row's first column end here (right-aligned)
    double y_label_offset = 0;           // the y-axis label's baseline, left of the first profile
    Anchor legend;                       // the profile legend's first line (top-left)
    std::vector<Box> color_bars;         // low at the bottom
    std::vector<Anchor> color_bar_titles;  // left-aligned over each bar
    Box missing_swatch;                  // "missing" written right of it
};

HeatmapLayout layout_heatmap(const HeatmapSizes& sizes);

struct ProfileSizes {
    std::size_t panels = 1;
    double panel_width = 0, panel_height = 0;  // points
    double title_width = 0;                    // 0: no title
    std::size_t legend_entries = 0;
    double legend_label_width = 0;
    bool legend_beside = true;  // false: no room for a legend right of the panels
    std::size_t per_row = 0;    // panels in a row before the next row starts (0: all in one row)
    bool x_label = false;       // an axis label under the panels
    bool y_label = false;       // an axis label left of the first panel
    bool profile_scale = false; // panels drawn as heat maps: a colour scale right of each
    double row_label_width = 0; // the widest label left of a row's first panel
};

struct ProfileLayout {
    double width = 0, height = 0;
    std::size_t per_row = 1;    // panels in a row
    Anchor title;
    std::vector<Anchor> panel_titles;
    std::vector<Box> panels;
    std::vector<Box> scales;    // right of each panel, with ProfileSizes::profile_scale
    double row_label_right = 0; // labels left of a row's first panel end here (right-aligned)
    Anchor legend;
    double y_label_offset = 0;  // the y-axis label's baseline, left of the first panel
};

// How far under a panel's bottom an x-axis label's baseline goes (below
// the tick labels), and the room the label takes.
inline constexpr double kAxisLabelRoom = kLabelFont + 6;
double x_label_offset();

// The colour scale of a profile drawn as a heat map, right of `panel`.
Box profile_scale_box(Box panel);

ProfileLayout layout_profiles(const ProfileSizes& sizes);

}  // namespace binscope
