// profile_figure.cpp - the profile figure: its lines computed first, then
// painted in one place.
#include "figure/profile_figure.hpp"

#include <algorithm>
#include <fmt/format.h>

#include "figure/canvas.hpp"
#include "figure/colormap.hpp"
#include "figure/figure_check.hpp"
#include "figure/layout.hpp"
#include "figure/paint.hpp"
#include "figure/profile_data.hpp"
#include "figure/profile_look.hpp"

namespace binscope {
namespace {

// One panel's lines, title and x axis.
struct ProfilePanel {
    std::string title;
    std::vector<ProfileLine> lines;
    const std::vector<AxisTick>* ticks = nullptr;
    double bins = 0;
};

Result<std::vector<ProfilePanel>> compute_panels(const FigureInput& input, const ProfileSettings& settings,
                                                 std::size_t threads) {
    const std::size_t panels = settings.per_group ? input.group_labels.size() : input.sample_labels.size();
    std::vector<ProfilePanel> out(panels);
    for (std::size_t p = 0; p < panels; ++p) {
        const std::size_t axis_sample = settings.per_group ? 0 : p;
        out[p].title = settings.per_group ? input.group_labels[p] : input.sample_labels[p];
        out[p].ticks = &input.ticks[axis_sample];
        out[p].bins = static_cast<double>(input.sample_boundaries[axis_sample + 1] - input.sample_boundaries[axis_sample]);
    }
    auto lines = drawn_lines(input, settings, settings.per_group, threads);
    if (!lines) return fail(std::move(lines).error());
    for (DrawnLine& line : *lines)
        out[settings.per_group ? line.group : line.sample].lines.push_back(std::move(line.line));
    return out;
}

// The panels and how their lines look: everything painted but the layout.
struct ProfilePicture {
    std::vector<ProfilePanel> panels;
    std::vector<ColorLimits> ranges;  // per panel
    LineLook look;
    ColorMap map;  // panels drawn as heat maps: the default colour map and missing-value colour
    Rgb missing;
};

Result<ProfilePicture> compute_picture(const FigureInput& input, const ProfileSettings& settings,
                                       std::size_t threads) {
    ProfilePicture picture;
    auto panels = compute_panels(input, settings, threads);
    if (!panels) return fail(std::move(panels).error());
    picture.panels = std::move(*panels);
    std::vector<std::vector<ProfileLine>> lines;
    for (const ProfilePanel& panel : picture.panels) lines.push_back(panel.lines);
    auto ranges = panel_ranges(lines, settings);
    if (!ranges) return fail(std::move(ranges).error());
    picture.ranges = std::move(*ranges);
    auto look = line_look(settings, settings.per_group ? input.sample_labels.size() : input.group_labels.size());
    if (!look) return fail(std::move(look).error());
    picture.look = std::move(*look);
    auto map = find_color_map(ColorSettings{}.color_map, false);
    if (!map) return fail(std::move(map).error());
    picture.map = std::move(*map);
    auto missing = parse_color(ColorSettings{}.missing_color);
    if (!missing) return fail(std::move(missing).error());
    picture.missing = *missing;
    return picture;
}

void paint_panel(cairo_t* cr, const ProfilePicture& picture, const ProfileLayout& layout,
                 const std::vector<std::string>& line_labels, std::size_t p) {
    const ProfilePanel& panel = picture.panels[p];
    if (picture.look.type != PlotType::heatmap) {
        draw_profile_panel(cr, layout.panels[p], panel.lines, picture.ranges[p], *panel.ticks, panel.bins,
                           picture.look);
        return;
    }
    draw_profile_heatmap(cr, layout.panels[p], panel.lines, picture.ranges[p], picture.map, picture.missing,
                         *panel.ticks, panel.bins);
    if (p % layout.per_row == 0) draw_strip_labels(cr, layout.panels[p], line_labels, layout.row_label_right);
}

}  // namespace

ProfileSizes profile_sizes(const FigureInput& input, const FigureStyle& style, const ProfileSettings& profile) {
    const auto& legend = profile.per_group ? input.sample_labels : input.group_labels;
    ProfileSizes sizes;
    sizes.panels = profile.per_group ? input.group_labels.size() : input.sample_labels.size();
    sizes.panel_width = cm_to_points(style.panel_width_cm);
    sizes.panel_height = cm_to_points(style.profile_height_cm);
    sizes.title_width = style.title.empty() ? 0 : text_width(style.title, kTitleFont);
    sizes.profile_scale = profile.plot_type == PlotType::heatmap;  // rows labelled, no legend
    sizes.legend_beside = profile.legend == LegendLocation::beside && !sizes.profile_scale;
    sizes.row_label_width = sizes.profile_scale ? widest_text(legend, kLabelFont) : 0;
    sizes.legend_entries = sizes.legend_beside ? legend_lines(legend.size()) : 0;
    sizes.legend_label_width = sizes.legend_beside ? legend_label_width(legend) : 0;
    sizes.per_row = style.plots_per_row;
    sizes.x_label = !profile.x_axis_label.empty();
    sizes.y_label = !profile.y_axis_label.empty();
    return sizes;
}

Status draw_profile(const FigureInput& input, const FigureStyle& style, const ProfileSettings& profile,
                    const std::string& path, std::size_t threads) {
    if (auto checked = check_figure_input(input); !checked) return checked;
    if (auto checked = check_figure_style(style); !checked) return checked;
    auto picture = compute_picture(input, profile, threads);
    if (!picture) return fail(std::move(picture).error());
    const auto& legend = profile.per_group ? input.sample_labels : input.group_labels;
    const ProfileLayout layout = layout_profiles(profile_sizes(input, style, profile));

    const FontCacheRelease release_fonts;  // after the canvas is gone
    auto canvas = Canvas::create(style.format, layout.width, layout.height, style.dpi);
    if (!canvas) return fail(std::move(canvas).error().context(fmt::format("Drawing {}", path)));
    cairo_t* cr = canvas->context();
    set_color(cr, Rgb{0, 0, 0});
    if (!style.title.empty()) draw_text(cr, style.title, layout.title, kTitleFont, Align::center);
    for (std::size_t p = 0; p < picture->panels.size(); ++p) {
        const ProfilePanel& panel = picture->panels[p];
        set_color(cr, Rgb{0, 0, 0});
        draw_text(cr, panel.title, layout.panel_titles[p], kLabelFont, Align::center);
        paint_panel(cr, *picture, layout, legend, p);
        if (!profile.x_axis_label.empty())
            draw_axis_label(cr, layout.panels[p], profile.x_axis_label, false, x_label_offset());
    }
    if (!profile.y_axis_label.empty())
        draw_axis_label(cr, layout.panels.front(), profile.y_axis_label, true, layout.y_label_offset);
    if (!layout.panels.empty() && picture->look.type != PlotType::heatmap)
        draw_profile_legend(cr, profile.legend, layout.legend, layout.panels.front(), legend, picture->look);
    return canvas->write(path);
}

}  // namespace binscope
