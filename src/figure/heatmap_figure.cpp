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

// Everything the painting needs besides the input and the layout. The
// columns are the samples, each with one heat map; or with per_group the
// groups, each with a heat map per sample, stacked.
struct HeatmapPicture {
    bool per_group = false;
    std::vector<ColorLimits> limits;  // per sample
    std::vector<ColorMap> maps;       // per sample
    Rgb missing;
    std::vector<std::size_t> row_cuts;  // raster rows, in drawn rows (a column per sample)
    std::vector<Raster> rasters;        // per heat map, in layout order
    std::vector<std::vector<ProfileLine>> profiles;  // per column: a line per group, or per sample
    std::vector<ColorLimits> profile_ranges;         // per column
    LineLook look;
    bool shared_scale = true;

    std::size_t stack() const { return per_group ? limits.size() : 1; }
    std::size_t sample_of(std::size_t heatmap) const { return per_group ? heatmap % stack() : heatmap; }
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

// The raster of every heat map: a sample's columns over all rows, or
// with per_group over one group's rows, cut evenly.
Status compute_rasters(const FigureInput& input, const FigureStyle& style, HeatmapPicture& picture,
                       std::size_t threads) {
    const std::size_t pixel_rows = pixels(cm_to_points(style.panel_height_cm), style.dpi);
    picture.row_cuts = row_edges(input.group_boundaries, pixel_rows);
    const std::size_t pixel_cols = pixels(cm_to_points(style.panel_width_cm), style.dpi);
    const std::size_t columns = picture.per_group ? input.group_labels.size() : input.sample_labels.size();
    for (std::size_t h = 0; h < columns * picture.stack(); ++h) {
        const std::size_t s = picture.sample_of(h);
        std::vector<std::size_t> cuts = picture.row_cuts;
        if (picture.per_group) {
            const std::size_t g = h / picture.stack(), first = input.group_boundaries[g];
            cuts = even_edges(input.group_boundaries[g + 1] - first, pixel_rows);
            for (std::size_t& cut : cuts) cut += first;
        }
        const std::size_t begin = input.sample_boundaries[s], bins = input.sample_boundaries[s + 1] - begin;
        auto raster = downsample(input, begin, cuts, even_edges(bins, pixel_cols), threads);
        if (!raster) return fail(std::move(raster).error());
        picture.rasters.push_back(std::move(*raster));
    }
    return {};
}

Status compute_profiles(const FigureInput& input, const ProfileSettings& profile, HeatmapPicture& picture,
                        std::size_t threads) {
    auto lines = drawn_lines(input, profile, picture.per_group, threads);
    if (!lines) return fail(std::move(lines).error());
    picture.profiles.resize(picture.per_group ? input.group_labels.size() : input.sample_labels.size());
    for (DrawnLine& line : *lines)
        picture.profiles[picture.per_group ? line.group : line.sample].push_back(std::move(line.line));
    auto ranges = panel_ranges(picture.profiles, profile);
    if (!ranges) return fail(std::move(ranges).error());
    picture.profile_ranges = std::move(*ranges);
    auto look = line_look(profile, picture.per_group ? input.sample_labels.size() : input.group_labels.size());
    if (!look) return fail(std::move(look).error());
    picture.look = std::move(*look);
    return {};
}

Result<HeatmapPicture> compute_picture(const FigureInput& input, const FigureStyle& style,
                                       const ColorSettings& colors, const ProfileSettings& profile,
                                       std::size_t threads) {
    HeatmapPicture picture;
    picture.per_group = profile.per_group;
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
    if (auto ok = compute_rasters(input, style, picture, threads); !ok) return fail(std::move(ok).error());
    if (auto ok = compute_profiles(input, profile, picture, threads); !ok) return fail(std::move(ok).error());
    return picture;
}

// The y of raster-row edge `drawn_row` (a group boundary) in `box`.
double edge_y(const HeatmapPicture& picture, std::size_t drawn_row, Box box) {
    const auto at = std::lower_bound(picture.row_cuts.begin(), picture.row_cuts.end(), drawn_row);
    const double rows = static_cast<double>(picture.row_cuts.size() - 1);
    return box.y + box.height * static_cast<double>(at - picture.row_cuts.begin()) / rows;
}

// Group separators across every heat map, and the group labels left of
// each row's first column (a column per sample).
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
    for (std::size_t first = 0; first < layout.heatmaps.size(); first += layout.per_row)
        for (std::size_t g = 0; g + 1 < input.group_boundaries.size(); ++g) {
            const double top = edge_y(picture, input.group_boundaries[g], layout.heatmaps[first]);
            const double bottom = edge_y(picture, input.group_boundaries[g + 1], layout.heatmaps[first]);
            if (bottom - top >= kLabelFont)
                draw_text(cr, input.group_labels[g], {layout.group_label_right, (top + bottom) / 2 + kLabelFont / 3},
                          kLabelFont, Align::right);
        }
}

// The sample labels left of each row's first column of stacked heat maps.
void paint_stack_labels(cairo_t* cr, const FigureInput& input, const HeatmapPicture& picture,
                        const HeatmapLayout& layout) {
    const std::size_t stack = picture.stack();
    for (std::size_t first = 0; first * stack < layout.heatmaps.size(); first += layout.per_row)
        for (std::size_t k = 0; k < stack; ++k)
            draw_strip_labels(cr, layout.heatmaps[first * stack + k], {input.sample_labels[k]},
                              layout.group_label_right);
}

void paint_profile(cairo_t* cr, const FigureInput& input, const HeatmapPicture& picture, const HeatmapLayout& layout,
                   std::size_t column) {
    const std::size_t axis_sample = picture.per_group ? 0 : column;
    const double bins =
        static_cast<double>(input.sample_boundaries[axis_sample + 1] - input.sample_boundaries[axis_sample]);
    const Box& box = layout.profiles[column];
    if (picture.look.type != PlotType::heatmap) {
        draw_profile_panel(cr, box, picture.profiles[column], picture.profile_ranges[column], input.ticks[axis_sample],
                           bins, picture.look);
        return;
    }
    draw_profile_heatmap(cr, box, picture.profiles[column], picture.profile_ranges[column], picture.maps.front(),
                         picture.missing, input.ticks[axis_sample], bins);
    if (column % layout.per_row == 0)
        draw_strip_labels(cr, box, picture.per_group ? input.sample_labels : input.group_labels,
                          layout.group_label_right);
}

void paint_column(cairo_t* cr, const FigureInput& input, const FigureStyle& style, const ColorSettings& colors,
                  const ProfileSettings& profile, const HeatmapPicture& picture, const HeatmapLayout& layout,
                  std::size_t column) {
    set_color(cr, Rgb{0, 0, 0});
    draw_text(cr, picture.per_group ? input.group_labels[column] : input.sample_labels[column],
              layout.column_titles[column], kLabelFont, Align::center);
    if (style.show_profile) paint_profile(cr, input, picture, layout, column);
    if (!style.show_heatmap) return;
    const std::size_t stack = picture.stack();
    const bool every_axis = stack > 1 && !same_axes(input);
    for (std::size_t k = 0; k < stack; ++k) {
        const std::size_t h = column * stack + k, s = picture.sample_of(h);
        const Box& box = layout.heatmaps[h];
        paint_raster(cr, picture.rasters[h], picture.limits[s], picture.maps[s], picture.missing, box);
        if (colors.box_around_heatmaps) {
            set_color(cr, Rgb{0, 0, 0});
            cairo_set_line_width(cr, 0.75);
            cairo_rectangle(cr, box.x, box.y, box.width, box.height);
            cairo_stroke(cr);
        }
        const double bins = static_cast<double>(input.sample_boundaries[s + 1] - input.sample_boundaries[s]);
        if (k + 1 == stack || every_axis) draw_x_axis(cr, box, input.ticks[s], bins);
    }
    if (!profile.x_axis_label.empty())
        draw_axis_label(cr, layout.heatmaps[column * stack + stack - 1], profile.x_axis_label, false, x_label_offset());
}

void paint_picture(cairo_t* cr, const FigureInput& input, const FigureStyle& style, const ColorSettings& colors,
                   const ProfileSettings& profile, const HeatmapPicture& picture, const HeatmapLayout& layout) {
    set_color(cr, Rgb{0, 0, 0});
    if (!style.title.empty()) draw_text(cr, style.title, layout.title, kTitleFont, Align::center);
    for (std::size_t c = 0; c < layout.profiles.size(); ++c)
        paint_column(cr, input, style, colors, profile, picture, layout, c);
    if (style.show_profile && !profile.y_axis_label.empty())
        draw_axis_label(cr, layout.profiles.front(), profile.y_axis_label, true, layout.y_label_offset);
    if (style.show_heatmap && picture.per_group) paint_stack_labels(cr, input, picture, layout);
    else if (style.show_heatmap) paint_groups(cr, input, picture, layout);
    set_color(cr, Rgb{0, 0, 0});
    if (style.show_profile && picture.look.type != PlotType::heatmap)
        draw_profile_legend(cr, profile.legend, layout.legend, layout.profiles.front(),
                            picture.per_group ? input.sample_labels : input.group_labels, picture.look);
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

bool same_axes(const FigureInput& input) {
    const auto same = [&](std::size_t s) {
        const auto& a = input.ticks[s];
        const auto& b = input.ticks[0];
        return input.sample_boundaries[s + 1] - input.sample_boundaries[s] == input.sample_boundaries[1] &&
               std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const AxisTick& x, const AxisTick& y) {
                   return x.position == y.position && x.label == y.label;
               });
    };
    for (std::size_t s = 1; s < input.ticks.size(); ++s)
        if (!same(s)) return false;
    return true;
}

HeatmapSizes heatmap_sizes(const FigureInput& input, const FigureStyle& style, const ProfileSettings& profile,
                           bool shared_scale) {
    const bool per_group = profile.per_group, as_heatmap = profile.plot_type == PlotType::heatmap;
    const auto& line_labels = per_group ? input.sample_labels : input.group_labels;
    HeatmapSizes sizes;
    sizes.columns = per_group ? input.group_labels.size() : input.sample_labels.size();
    sizes.stack = per_group ? input.sample_labels.size() : 1;
    sizes.per_row = style.plots_per_row;
    sizes.panel_width = cm_to_points(style.panel_width_cm);
    sizes.panel_height = cm_to_points(style.panel_height_cm);
    sizes.profile_height = cm_to_points(style.profile_height_cm);
    sizes.title_width = style.title.empty() ? 0 : text_width(style.title, kTitleFont);
    sizes.group_label_width = widest_text(line_labels, kLabelFont);
    sizes.legend_entries = legend_lines(line_labels.size());
    sizes.legend_label_width = legend_label_width(line_labels);
    sizes.color_bars = shared_scale ? 1 : input.sample_labels.size();
    sizes.color_bar_label_width = shared_scale ? 0 : widest_text(input.sample_labels, kLabelFont);
    sizes.profile = style.show_profile;
    sizes.heatmap = style.show_heatmap;
    sizes.color_bar = style.show_color_bar;
    sizes.stack_axes = per_group && !same_axes(input);
    sizes.profile_scale = style.show_profile && as_heatmap;
    if (!style.show_profile || as_heatmap || profile.legend != LegendLocation::beside)
        sizes.legend_entries = 0, sizes.legend_label_width = 0;
    if (!style.show_heatmap && !sizes.profile_scale) sizes.group_label_width = 0;
    sizes.x_label = style.show_heatmap && !profile.x_axis_label.empty();
    sizes.y_label = style.show_profile && !profile.y_axis_label.empty();
    return sizes;
}

Status draw_heatmap(const FigureInput& input, const FigureStyle& style, const ColorSettings& colors,
                    const ProfileSettings& profile, const std::string& path, std::size_t threads) {
    if (auto checked = check_figure_input(input); !checked) return checked;
    if (auto checked = check_figure_style(style); !checked) return checked;
    auto picture = compute_picture(input, style, colors, profile, threads);
    if (!picture) return fail(std::move(picture).error());
    const HeatmapLayout layout = layout_heatmap(heatmap_sizes(input, style, profile, picture->shared_scale));
    const FontCacheRelease release_fonts;  // after the canvas is gone
    auto canvas = Canvas::create(style.format, layout.width, layout.height, style.dpi);
    if (!canvas) return fail(std::move(canvas).error().context(fmt::format("Drawing {}", path)));
    paint_picture(canvas->context(), input, style, colors, profile, *picture, layout);
    return canvas->write(path);
}

}  // namespace binscope
