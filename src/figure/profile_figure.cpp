// profile_figure.cpp - the profile figure: its lines computed first, then
// painted in one place.
#include "figure/profile_figure.hpp"

#include <algorithm>
#include <fmt/format.h>

#include "figure/canvas.hpp"
#include "figure/figure_check.hpp"
#include "figure/layout.hpp"
#include "figure/paint.hpp"
#include "figure/profile_data.hpp"

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

}  // namespace

Status draw_profile(const FigureInput& input, const FigureStyle& style, const ProfileSettings& profile,
                    const std::string& path, std::size_t threads) {
    if (auto checked = check_figure_input(input); !checked) return checked;
    if (auto checked = check_figure_style(style); !checked) return checked;
    auto panels = compute_panels(input, profile, threads);
    if (!panels) return fail(std::move(panels).error());
    const auto& legend = profile.per_group ? input.sample_labels : input.group_labels;
    ProfileSizes sizes;
    sizes.panels = panels->size();
    sizes.panel_width = cm_to_points(style.panel_width_cm);
    sizes.panel_height = cm_to_points(style.profile_height_cm);
    sizes.title_width = style.title.empty() ? 0 : text_width(style.title, kTitleFont);
    sizes.legend_entries = legend_lines(legend.size());
    sizes.legend_label_width = legend_label_width(legend);
    const ProfileLayout layout = layout_profiles(sizes);

    const FontCacheRelease release_fonts;  // after the canvas is gone
    auto canvas = Canvas::create(style.format, layout.width, layout.height, style.dpi);
    if (!canvas) return fail(std::move(canvas).error().context(fmt::format("Drawing {}", path)));
    cairo_t* cr = canvas->context();
    set_color(cr, Rgb{0, 0, 0});
    if (!style.title.empty()) draw_text(cr, style.title, layout.title, kTitleFont, Align::center);
    for (std::size_t p = 0; p < panels->size(); ++p) {
        const ProfilePanel& panel = (*panels)[p];
        set_color(cr, Rgb{0, 0, 0});
        draw_text(cr, panel.title, layout.panel_titles[p], kLabelFont, Align::center);
        draw_profile_panel(cr, layout.panels[p], panel.lines, profile_range(panel.lines), *panel.ticks, panel.bins);
    }
    draw_line_legend(cr, layout.legend, legend);
    return canvas->write(path);
}

}  // namespace binscope
