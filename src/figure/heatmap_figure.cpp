// heatmap_figure.cpp - the heat-map figure: its data computed first, then
// painted in one place.
#include "figure/heatmap_figure.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

#include "figure/canvas.hpp"
#include "figure/color_scale.hpp"
#include "figure/colormap.hpp"
#include "figure/downsample.hpp"
#include "figure/figure_check.hpp"
#include "figure/layout.hpp"
#include "figure/paint.hpp"
#include "figure/profile_data.hpp"
#include "figure/profile_look.hpp"

namespace binscope {
namespace {

// Everything the painting needs besides the input and the layout.
struct HeatmapPicture {
    std::vector<ColorLimits> limits;  // per sample
    std::vector<ColorMap> maps;       // per sample
    Rgb missing;
    std::vector<std::size_t> row_cuts;  // raster rows, in drawn rows
    std::vector<Raster> rasters;        // per sample
    std::vector<std::vector<ProfileLine>> profiles;  // per sample, a line per group
    std::vector<ColorLimits> profile_ranges;         // per sample
    LineLook look;
    bool shared_scale = true;
};

// Pixels of a length in points (at most a surface's largest side).
std::size_t pixels(double points, double dpi) {
    const double count = std::round(points * dpi / 72.0);
    return count >= 1 ? static_cast<std::size_t>(std::min(count, 32767.0)) : 1;  // NaN too
}

// Each sample's colour map: from the colour list, the per-sample names or
// the one name.
Result<std::vector<ColorMap>> sample_maps(const ColorSettings& colors, std::size_t samples) {
    if (!colors.color_list.empty()) {
        auto map = color_map_from_list(colors.color_list);
        if (!map) return fail(std::move(map).error());
        return std::vector<ColorMap>(samples, *map);
    }
    if (colors.sample_color_maps.empty()) {
        auto map = find_color_map(colors.color_map, colors.reverse);
        if (!map) return fail(std::move(map).error());
        return std::vector<ColorMap>(samples, *map);
    }
    if (colors.sample_color_maps.size() != samples)
        return fail(fmt::format("Invalid --colorMap: {} maps for {} sample{} (give one for every sample, or one per "
                                "sample)", colors.sample_color_maps.size(), samples, samples == 1 ? "" : "s"));
    std::vector<ColorMap> maps;
    for (const std::string& name : colors.sample_color_maps) {
        auto map = find_color_map(name, false);
        if (!map) return fail(std::move(map).error());
        maps.push_back(*map);
    }
    return maps;
}

Result<HeatmapPicture> compute_picture(const FigureInput& input, const FigureStyle& style,
                                       const ColorSettings& colors, const ProfileSettings& profile,
                                       std::size_t threads) {
    HeatmapPicture picture;
    auto limits = color_limits(input, colors, threads);
    if (!limits) return fail(std::move(limits).error());
    picture.limits = std::move(*limits);
    auto maps = sample_maps(colors, input.sample_labels.size());
    if (!maps) return fail(std::move(maps).error());
    picture.maps = std::move(*maps);
    picture.shared_scale =
        std::all_of(picture.limits.begin(), picture.limits.end(), [&](const auto& l) { return l == picture.limits.front(); }) &&
        std::all_of(picture.maps.begin(), picture.maps.end(), [&](const auto& m) { return m.colors == picture.maps.front().colors; });
    auto missing = parse_color(colors.missing_color);
    if (!missing) return fail(std::move(missing).error().context("The missing-value colour"));
    picture.missing = *missing;
    picture.row_cuts = row_edges(input.group_boundaries, pixels(cm_to_points(style.panel_height_cm), style.dpi));
    const std::size_t pixel_cols = pixels(cm_to_points(style.panel_width_cm), style.dpi);
    for (std::size_t s = 0; s < input.sample_labels.size(); ++s) {
        const std::size_t begin = input.sample_boundaries[s], bins = input.sample_boundaries[s + 1] - begin;
        auto raster = downsample(input, begin, picture.row_cuts, even_edges(bins, pixel_cols), threads);
        if (!raster) return fail(std::move(raster).error());
        picture.rasters.push_back(std::move(*raster));
    }
    auto lines = drawn_lines(input, profile, false, threads);
    if (!lines) return fail(std::move(lines).error());
    picture.profiles.resize(input.sample_labels.size());
    for (DrawnLine& line : *lines) picture.profiles[line.sample].push_back(std::move(line.line));
    auto ranges = panel_ranges(picture.profiles, profile);
    if (!ranges) return fail(std::move(ranges).error());
    picture.profile_ranges = std::move(*ranges);
    auto look = line_look(profile, input.group_labels.size());
    if (!look) return fail(std::move(look).error());
    picture.look = std::move(*look);
    return picture;
}

double widest(const std::vector<std::string>& texts, double size) {
    double width = 0;
    for (const auto& text : texts) width = std::max(width, text_width(text, size));
    return width;
}

// The y of raster-row edge `drawn_row` (a group boundary) in `box`.
double edge_y(const HeatmapPicture& picture, std::size_t drawn_row, Box box) {
    const auto at = std::lower_bound(picture.row_cuts.begin(), picture.row_cuts.end(), drawn_row);
    const double rows = static_cast<double>(picture.row_cuts.size() - 1);
    return box.y + box.height * static_cast<double>(at - picture.row_cuts.begin()) / rows;
}

void paint_groups(cairo_t* cr, const FigureInput& input, const HeatmapPicture& picture, const HeatmapLayout& layout) {
    cairo_set_line_width(cr, 1.0);
    for (std::size_t g = 1; g + 1 < input.group_boundaries.size(); ++g)
        for (std::size_t s = 0; s < layout.heatmaps.size(); ++s) {
            const Box& box = layout.heatmaps[s];
            set_color(cr, contrasting(picture.maps[s].colors[0]));
            const double y = edge_y(picture, input.group_boundaries[g], box);
            cairo_move_to(cr, box.x, y);
            cairo_line_to(cr, box.right(), y);
            cairo_stroke(cr);
        }
    set_color(cr, Rgb{0, 0, 0});
    const Box& first = layout.heatmaps.front();
    for (std::size_t g = 0; g + 1 < input.group_boundaries.size(); ++g) {
        const double top = edge_y(picture, input.group_boundaries[g], first);
        const double bottom = edge_y(picture, input.group_boundaries[g + 1], first);
        if (bottom - top >= kLabelFont)
            draw_text(cr, input.group_labels[g], {layout.group_label_right, (top + bottom) / 2 + kLabelFont / 3},
                      kLabelFont, Align::right);
    }
}

void paint_sample(cairo_t* cr, const FigureInput& input, const FigureStyle& style, const ColorSettings& colors,
                  const ProfileSettings& profile, const HeatmapPicture& picture, const HeatmapLayout& layout,
                  std::size_t s) {
    const double bins = static_cast<double>(input.sample_boundaries[s + 1] - input.sample_boundaries[s]);
    set_color(cr, Rgb{0, 0, 0});
    draw_text(cr, input.sample_labels[s], layout.sample_titles[s], kLabelFont, Align::center);
    if (style.show_profile)
        draw_profile_panel(cr, layout.profiles[s], picture.profiles[s], picture.profile_ranges[s], input.ticks[s], bins,
                           picture.look);
    if (!style.show_heatmap) return;
    const Box& box = layout.heatmaps[s];
    paint_raster(cr, picture.rasters[s], picture.limits[s], picture.maps[s], picture.missing, box);
    if (colors.box_around_heatmaps) {
        set_color(cr, Rgb{0, 0, 0});
        cairo_set_line_width(cr, 0.75);
        cairo_rectangle(cr, box.x, box.y, box.width, box.height);
        cairo_stroke(cr);
    }
    draw_x_axis(cr, box, input.ticks[s], bins);
    if (!profile.x_axis_label.empty()) draw_axis_label(cr, box, profile.x_axis_label, false, x_label_offset());
}

void paint_picture(cairo_t* cr, const FigureInput& input, const FigureStyle& style, const ColorSettings& colors,
                   const ProfileSettings& profile, const HeatmapPicture& picture, const HeatmapLayout& layout) {
    set_color(cr, Rgb{0, 0, 0});
    if (!style.title.empty()) draw_text(cr, style.title, layout.title, kTitleFont, Align::center);
    for (std::size_t s = 0; s < input.sample_labels.size(); ++s)
        paint_sample(cr, input, style, colors, profile, picture, layout, s);
    if (style.show_profile && !profile.y_axis_label.empty())
        draw_axis_label(cr, layout.profiles.front(), profile.y_axis_label, true, layout.y_label_offset);
    if (style.show_heatmap) paint_groups(cr, input, picture, layout);
    set_color(cr, Rgb{0, 0, 0});
    if (style.show_profile)
        draw_profile_legend(cr, profile.legend, layout.legend, layout.profiles.front(), input.group_labels,
                            picture.look);
    for (std::size_t b = 0; b < layout.color_bars.size(); ++b) {
        if (!picture.shared_scale) {
            set_color(cr, Rgb{0, 0, 0});
            draw_text(cr, input.sample_labels[b], layout.color_bar_titles[b], kLabelFont, Align::left);
        }
        draw_color_bar(cr, layout.color_bars[b], picture.maps[b], picture.limits[b]);
    }
    if (style.show_color_bar) draw_missing_swatch(cr, layout.missing_swatch, picture.missing);
}

}  // namespace

HeatmapSizes heatmap_sizes(const FigureInput& input, const FigureStyle& style, bool shared_scale) {
    HeatmapSizes sizes;
    sizes.samples = input.sample_labels.size();
    sizes.panel_width = cm_to_points(style.panel_width_cm);
    sizes.panel_height = cm_to_points(style.panel_height_cm);
    sizes.profile_height = cm_to_points(style.profile_height_cm);
    sizes.title_width = style.title.empty() ? 0 : text_width(style.title, kTitleFont);
    sizes.group_label_width = widest(input.group_labels, kLabelFont);
    sizes.legend_entries = legend_lines(input.group_labels.size());
    sizes.legend_label_width = legend_label_width(input.group_labels);
    sizes.color_bars = shared_scale ? 1 : sizes.samples;
    sizes.color_bar_label_width = shared_scale ? 0 : widest(input.sample_labels, kLabelFont);
    sizes.profile = style.show_profile;
    sizes.heatmap = style.show_heatmap;
    sizes.color_bar = style.show_color_bar;
    if (!style.show_profile) sizes.legend_entries = 0, sizes.legend_label_width = 0;
    if (!style.show_heatmap) sizes.group_label_width = 0;
    return sizes;
}

Status draw_heatmap(const FigureInput& input, const FigureStyle& style, const ColorSettings& colors,
                    const ProfileSettings& profile, const std::string& path, std::size_t threads) {
    if (auto checked = check_figure_input(input); !checked) return checked;
    if (auto checked = check_figure_style(style); !checked) return checked;
    auto picture = compute_picture(input, style, colors, profile, threads);
    if (!picture) return fail(std::move(picture).error());
    HeatmapSizes sizes = heatmap_sizes(input, style, picture->shared_scale);
    if (profile.legend != LegendLocation::beside) sizes.legend_entries = 0, sizes.legend_label_width = 0;
    sizes.x_label = style.show_heatmap && !profile.x_axis_label.empty();
    sizes.y_label = style.show_profile && !profile.y_axis_label.empty();
    const HeatmapLayout layout = layout_heatmap(sizes);
    const FontCacheRelease release_fonts;  // after the canvas is gone
    auto canvas = Canvas::create(style.format, layout.width, layout.height, style.dpi);
    if (!canvas) return fail(std::move(canvas).error().context(fmt::format("Drawing {}", path)));
    paint_picture(canvas->context(), input, style, colors, profile, *picture, layout);
    return canvas->write(path);
}

}  // namespace binscope
