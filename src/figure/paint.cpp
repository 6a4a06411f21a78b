// paint.cpp - painting the parts of a figure with cairo.
#include "figure/paint.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

#include "figure/axis.hpp"

namespace binscope {
namespace {

constexpr double kTickLength = 3;
constexpr double kLineWidth = 0.75;

double text_extent(cairo_t* cr, const std::string& text, double size) {
    cairo_set_font_size(cr, size);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text.c_str(), &extents);
    return extents.x_advance;
}

// An image of `width` x `height` pixels from colour(x, y), drawn into `box`
// without smoothing.
template <class Colour>
void paint_image(cairo_t* cr, int width, int height, Box box, Colour colour) {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_flush(image);
        unsigned char* data = cairo_image_surface_get_data(image);
        const int stride = cairo_image_surface_get_stride(image);
        for (int y = 0; y < height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
            for (int x = 0; x < width; ++x) {
                const Rgb c = colour(x, y);
                row[x] = (std::uint32_t{c.r} << 16) | (std::uint32_t{c.g} << 8) | c.b;
            }
        }
        cairo_surface_mark_dirty(image);
    }
    cairo_save(cr);
    cairo_translate(cr, box.x, box.y);
    cairo_scale(cr, box.width / width, box.height / height);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_rectangle(cr, 0, 0, width, height);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(image);  // a failed image puts its status on the context
}

void stroke_line(cairo_t* cr, double x0, double y0, double x1, double y1) {
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
}

}  // namespace

void set_color(cairo_t* cr, Rgb color, double alpha) {
    cairo_set_source_rgba(cr, color.r / 255.0, color.g / 255.0, color.b / 255.0, alpha);
}

void draw_text(cairo_t* cr, const std::string& text, Anchor anchor, double size, Align align) {
    const double width = align == Align::left ? 0 : text_extent(cr, text, size);
    cairo_set_font_size(cr, size);
    cairo_move_to(cr, anchor.x - (align == Align::center ? width / 2 : align == Align::right ? width : 0), anchor.y);
    cairo_show_text(cr, text.c_str());
}

void paint_raster(cairo_t* cr, const Raster& raster, const ColorLimits& limits, const ColorMap& map, Rgb missing,
                  Box box) {
    if (raster.rows == 0 || raster.cols == 0) return;
    const double span = limits.high - limits.low;
    paint_image(cr, static_cast<int>(raster.cols), static_cast<int>(raster.rows), box, [&](int x, int y) {
        const float v = raster.at(static_cast<std::size_t>(y), static_cast<std::size_t>(x));
        return std::isnan(v) ? missing : map.at((v - limits.low) / span);
    });
}

void draw_x_axis(cairo_t* cr, Box box, const std::vector<AxisTick>& ticks, double bins) {
    set_color(cr, Rgb{0, 0, 0});
    cairo_set_line_width(cr, kLineWidth);
    std::vector<std::size_t> order(ticks.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](auto a, auto b) { return ticks[a].label.size() < ticks[b].label.size(); });
    std::vector<std::pair<double, double>> taken;  // spans of labels drawn
    for (auto i : order) {
        const double x = box.x + box.width * (bins > 0 ? ticks[i].position / bins : 0);
        stroke_line(cr, x, box.bottom(), x, box.bottom() + kTickLength);
        const double half = text_extent(cr, ticks[i].label, kTickFont) / 2 + 1;
        const double left = x - half;
        if (std::any_of(taken.begin(), taken.end(), [&](auto s) { return left < s.second && left + 2 * half > s.first; }))
            continue;
        taken.emplace_back(left, left + 2 * half);
        draw_text(cr, ticks[i].label, {x, box.bottom() + kTickLength + kTickFont + 1}, kTickFont, Align::center);
    }
}

ColorLimits profile_range(const std::vector<ProfileLine>& lines, bool room) {
    double low = std::numeric_limits<double>::infinity(), high = -low;
    for (const auto& line : lines)
        for (std::size_t i = 0; i < line.center.size(); ++i)
            if (std::isfinite(line.center[i] - line.spread[i]) && std::isfinite(line.center[i] + line.spread[i])) {
                low = std::min(low, line.center[i] - line.spread[i]);
                high = std::max(high, line.center[i] + line.spread[i]);
            }
    if (!(low <= high)) return kLimitsWithoutValues;
    if (low == high) return {low - 0.5, high + 0.5};
    if (!room) return {low, high};
    const double pad = (high - low) * 0.05;
    return {low - pad, high + pad};
}

namespace {

// Calls segment(first, last) for each run of bins whose value is finite.
template <class Segment>
void each_run(const ProfileLine& line, Segment segment) {
    std::size_t i = 0;
    const std::size_t n = line.center.size();
    while (i < n) {
        while (i < n && !std::isfinite(line.center[i])) ++i;
        std::size_t end = i;
        while (end < n && std::isfinite(line.center[end])) ++end;
        if (end > i) segment(i, end);
        i = end;
    }
}

void draw_band_and_line(cairo_t* cr, Box box, const ProfileLine& line, const ColorLimits& range, Rgb color,
                        PlotType type) {
    const double bins = static_cast<double>(line.center.size());
    auto x_of = [&](std::size_t i) { return box.x + box.width * (static_cast<double>(i) + 0.5) / bins; };
    auto y_of = [&](double v) { return box.bottom() - box.height * (v - range.low) / (range.high - range.low); };
    const bool band = std::any_of(line.spread.begin(), line.spread.end(), [](double s) { return s > 0; });
    each_run(line, [&](std::size_t first, std::size_t last) {
        if (type == PlotType::fill) {
            cairo_move_to(cr, x_of(first), y_of(0));
            for (std::size_t i = first; i < last; ++i) cairo_line_to(cr, x_of(i), y_of(line.center[i]));
            cairo_line_to(cr, x_of(last - 1), y_of(0));
            cairo_close_path(cr);
            set_color(cr, color, 0.35);
            cairo_fill(cr);
        }
        if (band) {
            for (std::size_t i = first; i < last; ++i) cairo_line_to(cr, x_of(i), y_of(line.center[i] + line.spread[i]));
            for (std::size_t i = last; i-- > first;) cairo_line_to(cr, x_of(i), y_of(line.center[i] - line.spread[i]));
            cairo_close_path(cr);
            set_color(cr, color, 0.25);
            cairo_fill(cr);
        }
        for (std::size_t i = first; i < last; ++i) cairo_line_to(cr, x_of(i), y_of(line.center[i]));
        if (last - first == 1) cairo_line_to(cr, x_of(first) + 0.5, y_of(line.center[first]));
        set_color(cr, color);
        cairo_set_line_width(cr, 1.0);
        cairo_stroke(cr);
    });
}

void draw_value_axis(cairo_t* cr, Box box, const ColorLimits& range, double at_x, Align align) {
    set_color(cr, Rgb{0, 0, 0});
    cairo_set_line_width(cr, kLineWidth);
    const double direction = align == Align::right ? -1 : 1;
    for (const auto& tick : value_ticks(range.low, range.high, 5)) {
        const double y = box.bottom() - box.height * (tick.position - range.low) / (range.high - range.low);
        stroke_line(cr, at_x, y, at_x + direction * kTickLength, y);
        draw_text(cr, tick.label, {at_x + direction * (kTickLength + 1), y + kTickFont / 3}, kTickFont, align);
    }
}

}  // namespace

void draw_profile_panel(cairo_t* cr, Box box, const std::vector<ProfileLine>& lines, const ColorLimits& range,
                        const std::vector<AxisTick>& ticks, double bins, const LineLook& look) {
    cairo_save(cr);
    cairo_rectangle(cr, box.x, box.y, box.width, box.height);
    cairo_clip(cr);
    for (std::size_t i = 0; i < lines.size(); ++i)
        draw_band_and_line(cr, box, lines[i], range, look.color(i), look.type);
    cairo_restore(cr);
    set_color(cr, Rgb{0, 0, 0});
    cairo_set_line_width(cr, kLineWidth);
    cairo_rectangle(cr, box.x, box.y, box.width, box.height);
    cairo_stroke(cr);
    draw_value_axis(cr, box, range, box.x, Align::right);
    draw_x_axis(cr, box, ticks, bins);
}

void draw_profile_heatmap(cairo_t* cr, Box box, const std::vector<ProfileLine>& lines, const ColorLimits& range,
                          const ColorMap& map, Rgb missing, const std::vector<AxisTick>& ticks, double bins) {
    const double strip = box.height / static_cast<double>(std::max<std::size_t>(lines.size(), 1));
    const double span = range.high - range.low;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::vector<double>& center = lines[i].center;
        if (center.empty()) continue;
        const Box part{box.x, box.y + static_cast<double>(i) * strip, box.width, strip};
        paint_image(cr, static_cast<int>(center.size()), 1, part, [&](int x, int) {
            const double v = center[static_cast<std::size_t>(x)];
            return std::isfinite(v) ? map.at((v - range.low) / span) : missing;
        });
    }
    set_color(cr, Rgb{0, 0, 0});
    cairo_set_line_width(cr, kLineWidth);
    cairo_rectangle(cr, box.x, box.y, box.width, box.height);
    cairo_stroke(cr);
    draw_x_axis(cr, box, ticks, bins);
    draw_color_bar(cr, profile_scale_box(box), map, range);
}

void draw_strip_labels(cairo_t* cr, Box box, const std::vector<std::string>& labels, double right) {
    const double strip = box.height / static_cast<double>(std::max<std::size_t>(labels.size(), 1));
    set_color(cr, Rgb{0, 0, 0});
    for (std::size_t i = 0; i < labels.size(); ++i)
        if (strip >= kLabelFont)
            draw_text(cr, labels[i], {right, box.y + (static_cast<double>(i) + 0.5) * strip + kLabelFont / 3},
                      kLabelFont, Align::right);
}

void draw_line_legend(cairo_t* cr, Anchor top_left, const std::vector<std::string>& labels, const LineLook& look) {
    const std::size_t shown = legend_shown(labels.size());
    auto middle_of = [&](std::size_t line) { return top_left.y + (static_cast<double>(line) + 0.5) * kLegendRow; };
    for (std::size_t i = 0; i < shown; ++i) {
        const double middle = middle_of(i);
        set_color(cr, look.color(i));
        cairo_set_line_width(cr, 1.5);
        stroke_line(cr, top_left.x, middle, top_left.x + 14, middle);
        set_color(cr, Rgb{0, 0, 0});
        draw_text(cr, labels[i], {top_left.x + 18, middle + kLabelFont / 3}, kLabelFont, Align::left);
    }
    if (shown < labels.size())
        draw_text(cr, legend_rest_text(labels.size()), {top_left.x + 18, middle_of(shown) + kLabelFont / 3},
                  kLabelFont, Align::left);
}

void draw_corner_legend(cairo_t* cr, Box box, LegendLocation where, const std::vector<std::string>& labels,
                        const LineLook& look) {
    double label_width = 0;
    const std::string rest = legend_rest_text(labels.size());
    for (std::size_t i = 0; i < legend_shown(labels.size()); ++i)
        label_width = std::max(label_width, text_extent(cr, labels[i], kLabelFont));
    label_width = std::max(label_width, rest.empty() ? 0.0 : text_extent(cr, rest, kLabelFont));
    const double width = 18 + label_width + 6, height = static_cast<double>(legend_lines(labels.size())) * kLegendRow + 4;
    const bool right = where == LegendLocation::upper_right || where == LegendLocation::lower_right;
    const bool upper = where == LegendLocation::upper_right || where == LegendLocation::upper_left;
    const double x = right ? box.right() - width - 3 : box.x + 3, y = upper ? box.y + 3 : box.bottom() - height - 3;
    set_color(cr, Rgb{255, 255, 255}, 0.85);
    cairo_rectangle(cr, x, y, width, height);
    cairo_fill(cr);
    draw_line_legend(cr, {x + 3, y + 2}, labels, look);
}

void draw_profile_legend(cairo_t* cr, LegendLocation where, Anchor beside, Box first_panel,
                         const std::vector<std::string>& labels, const LineLook& look) {
    if (where == LegendLocation::beside) draw_line_legend(cr, beside, labels, look);
    else if (where != LegendLocation::none) draw_corner_legend(cr, first_panel, where, labels, look);
}

void draw_axis_label(cairo_t* cr, Box box, const std::string& text, bool vertical, double offset) {
    set_color(cr, Rgb{0, 0, 0});
    if (!vertical) {
        draw_text(cr, text, {box.x + box.width / 2, box.bottom() + offset}, kLabelFont, Align::center);
        return;
    }
    cairo_save(cr);
    cairo_translate(cr, box.x - offset, box.y + box.height / 2);
    cairo_rotate(cr, -M_PI / 2);
    draw_text(cr, text, {0, 0}, kLabelFont, Align::center);
    cairo_restore(cr);
}

void draw_color_bar(cairo_t* cr, Box box, const ColorMap& map, const ColorLimits& limits) {
    paint_image(cr, 1, 256, box, [&](int, int y) { return map.colors[static_cast<std::size_t>(255 - y)]; });
    set_color(cr, Rgb{0, 0, 0});
    cairo_set_line_width(cr, kLineWidth);
    cairo_rectangle(cr, box.x, box.y, box.width, box.height);
    cairo_stroke(cr);
    draw_value_axis(cr, box, limits, box.right(), Align::left);
}

void draw_missing_swatch(cairo_t* cr, Box box, Rgb missing) {
    set_color(cr, missing);
    cairo_rectangle(cr, box.x, box.y, box.width, box.height);
    cairo_fill_preserve(cr);
    set_color(cr, Rgb{0, 0, 0});
    cairo_set_line_width(cr, kLineWidth);
    cairo_stroke(cr);
    draw_text(cr, "missing", {box.right() + 4, box.bottom() - 1.5}, kLabelFont, Align::left);
}

}  // namespace binscope
