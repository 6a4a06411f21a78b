// layout.cpp - the geometry of the heat-map and profile figures.
#include "figure/layout.hpp"

#include <algorithm>

namespace binscope {
namespace {

constexpr double kValueAxisRoom = 34;  // left of a profile: its value ticks
constexpr double kPanelGap = 12;       // between a panel and the next one's value ticks
constexpr double kTickRoom = 3 + kTickFont + 6;  // under a panel: ticks and their labels
constexpr double kLegendGap = 16;      // between the last panel and the legends
constexpr double kBarRoom = 3 + 34 + 8;  // right of a colour bar: its ticks and labels
constexpr double kStackGap = 6;        // between heat maps stacked in a column
constexpr double kScaleRoom = 30;      // right of the last profile drawn as a heat map: its colour scale

// Puts the title (widening the figure to hold it) and returns the top of
// what follows it.
double place_title(double title_width, double& width, Anchor& anchor) {
    if (title_width <= 0) return kMargin;
    width = std::max(width, title_width + 2 * kMargin);
    anchor = {width / 2, kMargin + kTitleFont};
    return kMargin + kTitleFont + 8;
}

}  // namespace

double text_width(std::string_view text, double font_size) {
    std::size_t characters = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xc0) != 0x80) ++characters;
    return static_cast<double>(characters) * 0.6 * font_size;
}

std::size_t legend_shown(std::size_t entries) {
    return entries <= kMaxLegendLines ? entries : kMaxLegendLines - 1;
}

std::string legend_rest_text(std::size_t entries) {
    const std::size_t shown = legend_shown(entries);
    return shown == entries ? std::string() : "and " + std::to_string(entries - shown) + " more";
}

std::size_t legend_lines(std::size_t entries) { return std::min(entries, kMaxLegendLines); }

double legend_label_width(const std::vector<std::string>& labels) {
    double width = text_width(legend_rest_text(labels.size()), kLabelFont);
    for (std::size_t i = 0; i < legend_shown(labels.size()); ++i)
        width = std::max(width, text_width(labels[i], kLabelFont));
    return width;
}

double widest_text(const std::vector<std::string>& texts, double font_size) {
    double width = 0;
    for (const auto& text : texts) width = std::max(width, text_width(text, font_size));
    return width;
}

double cm_to_points(double cm) { return cm / 2.54 * 72.0; }

double x_label_offset() { return kTickRoom + kLabelFont + 2; }

Box profile_scale_box(Box panel) { return {panel.right() + 4, panel.y, 5, panel.height}; }

namespace {

// From the top of one stacked heat map to the top of the next.
double stack_pitch(const HeatmapSizes& s) { return s.panel_height + (s.stack_axes ? kTickRoom : 0) + kStackGap; }

// The columns of a heat-map figure, row after row, each a profile over
// its stacked heat maps; `row_pitch` from one row's titles to the next's.
void place_columns(const HeatmapSizes& s, HeatmapLayout& out, double left, double pitch, double titles_baseline,
                   double heatmap_top, double row_pitch) {
    const double profile_top = titles_baseline + 5;
    const double heatmap_height = s.heatmap ? s.panel_height : 0;
    const double pitch_down = stack_pitch(s);
    for (std::size_t c = 0; c < s.columns; ++c) {
        const double x = left + static_cast<double>(c % out.per_row) * pitch;
        const double down = static_cast<double>(c / out.per_row) * row_pitch;
        out.column_titles.push_back({x + s.panel_width / 2, titles_baseline + down});
        out.profiles.push_back({x, profile_top + down, s.panel_width, s.profile_height});
        if (s.profile_scale) out.profile_scales.push_back(profile_scale_box(out.profiles.back()));
        for (std::size_t k = 0; k < s.stack; ++k)
            out.heatmaps.push_back(
                {x, heatmap_top + down + static_cast<double>(k) * pitch_down, s.panel_width, heatmap_height});
    }
}

// Whether each sample's colour bar stands beside its own heat map in the
// first row's stacks: every stacked sample has a bar, and the legend ends
// above the heat maps. Otherwise the bars stand side by side under the
// legend.
bool bars_beside_stack(const HeatmapSizes& s) {
    const double legend_room = s.legend_entries > 0 ? static_cast<double>(s.legend_entries) * kLegendRow + 12 : 0;
    const double above_heatmaps = s.profile ? s.profile_height + kTickRoom + 6 : 0;
    return s.color_bar && s.heatmap && s.stack > 1 && s.color_bars == s.stack && legend_room <= above_heatmaps;
}

// The colour bars, their titles and the missing-value swatch under them,
// from `legend_x` on, below the legend that ends at `legend_bottom`.
void place_color_bars(const HeatmapSizes& s, HeatmapLayout& out, double legend_x, double bar_pitch,
                      double heatmap_top, double legend_bottom) {
    const double title_room = s.color_bar_label_width > 0 ? kLabelFont + 4 : 0;
    const bool beside = bars_beside_stack(s);
    const double first_top = beside ? heatmap_top : std::max(heatmap_top, legend_bottom + 12);
    const double height = beside ? std::clamp(s.panel_height - title_room, 10.0, 150.0) : std::min(s.panel_height, 150.0);
    double bottom = first_top + title_room;
    for (std::size_t i = 0; i < (s.color_bar ? s.color_bars : 0); ++i) {
        const double x = beside ? legend_x : legend_x + static_cast<double>(i) * bar_pitch;
        const double top = first_top + title_room + (beside ? static_cast<double>(i) * stack_pitch(s) : 0);
        out.color_bars.push_back({x, top, kSwatch, height});
        out.color_bar_titles.push_back({x, top - 4});
        bottom = top + height;
    }
    out.missing_swatch = s.color_bar ? Box{legend_x, bottom + 12, kSwatch, kSwatch} : Box{legend_x, out.legend.y, 0, 0};
}

}  // namespace

HeatmapLayout layout_heatmap(const HeatmapSizes& s) {
    HeatmapLayout out;
    const double y_room = s.y_label ? kAxisLabelRoom : 0;
    const double label_room = std::max(kValueAxisRoom, s.group_label_width + 6);  // profiles as heat maps
    const double left = s.profile_scale ? kMargin + label_room + y_room
                                        : kMargin + std::max(kValueAxisRoom + y_room, s.group_label_width + 6);
    out.y_label_offset = (s.profile_scale ? label_room : kValueAxisRoom) + 2;
    const double pitch = s.panel_width + kPanelGap + kValueAxisRoom;
    out.per_row = std::max<std::size_t>(s.per_row == 0 ? s.columns : std::min(s.per_row, s.columns), 1);
    const std::size_t rows = (s.columns + out.per_row - 1) / out.per_row;
    const double legend_x = left + static_cast<double>(out.per_row) * pitch - kPanelGap - kValueAxisRoom + kLegendGap +
                            (s.profile_scale ? kScaleRoom : 0);
    const double bar_pitch = std::max(kSwatch + kBarRoom, s.color_bar_label_width + 6);
    const double bars = bars_beside_stack(s) ? 1 : static_cast<double>(s.color_bars);
    const double bars_width =
        s.color_bar ? std::max(kSwatch + 4 + text_width("missing", kLabelFont), bars * bar_pitch) : 0;
    const double legend_width = std::max(18 + s.legend_label_width, bars_width);
    out.width = legend_x + legend_width + kMargin;

    const double y = place_title(s.title_width, out.width, out.title);
    const double titles_baseline = y + kLabelFont;
    const double profile_top = titles_baseline + 5;
    const double heatmap_top = s.profile ? profile_top + s.profile_height + kTickRoom + 6 : profile_top;
    const double under = s.heatmap ? static_cast<double>(s.stack - 1) * stack_pitch(s) + s.panel_height + kTickRoom +
                                         (s.x_label ? kAxisLabelRoom : 0)
                                   : 0;
    const double row_pitch = heatmap_top - y + under + 8;
    place_columns(s, out, left, pitch, titles_baseline, heatmap_top, row_pitch);
    out.group_label_right = left - 6;

    out.legend = {legend_x, profile_top};
    const double legend_bottom = profile_top + static_cast<double>(s.legend_entries) * kLegendRow;
    place_color_bars(s, out, legend_x, bar_pitch, heatmap_top, legend_bottom);
    const double last_row = heatmap_top + static_cast<double>(rows - 1) * row_pitch;
    out.height = std::max({last_row + under, out.missing_swatch.bottom(), legend_bottom}) + kMargin;
    return out;
}

ProfileLayout layout_profiles(const ProfileSizes& s) {
    ProfileLayout out;
    const double label_room = std::max(kValueAxisRoom, s.row_label_width + 6);
    const double left = kMargin + label_room + (s.y_label ? kAxisLabelRoom : 0);
    out.y_label_offset = label_room + 2;
    out.row_label_right = left - 6;
    const double pitch = s.panel_width + kPanelGap + kValueAxisRoom;
    const std::size_t per_row = s.per_row == 0 ? s.panels : std::min(s.per_row, s.panels);
    out.per_row = std::max<std::size_t>(per_row, 1);
    const std::size_t rows = per_row == 0 ? 1 : (s.panels + per_row - 1) / per_row;
    const double legend_x = left + static_cast<double>(per_row) * pitch - kPanelGap - kValueAxisRoom + kLegendGap +
                            (s.profile_scale ? kScaleRoom : 0);
    out.width = s.legend_beside ? legend_x + 18 + s.legend_label_width + kMargin : legend_x - kLegendGap + kMargin;
    const double y = place_title(s.title_width, out.width, out.title);
    const double top = y + kLabelFont + 5;
    const double panel_room = s.panel_height + kTickRoom + (s.x_label ? kAxisLabelRoom : 0);
    const double row_pitch = panel_room + 8 + kLabelFont + 5;  // a row of panels, then the next row's titles
    for (std::size_t i = 0; i < s.panels; ++i) {
        const double x = left + static_cast<double>(i % per_row) * pitch;
        const double row_top = top + static_cast<double>(i / per_row) * row_pitch;
        out.panel_titles.push_back({x + s.panel_width / 2, row_top - 5});
        out.panels.push_back({x, row_top, s.panel_width, s.panel_height});
        if (s.profile_scale) out.scales.push_back(profile_scale_box(out.panels.back()));
    }
    out.legend = {legend_x, top};
    out.height = std::max(top + static_cast<double>(rows - 1) * row_pitch + s.panel_height + kTickRoom +
                              (s.x_label ? kAxisLabelRoom : 0),
                          top + static_cast<double>(s.legend_entries) * kLegendRow) + kMargin;
    return out;
}

}  // namespace binscope
