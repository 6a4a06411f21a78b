// colormap.cpp - named colour maps built from the published tables.
#include "figure/colormap.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <span>

#include "figure/colormap_tables.hpp"

namespace binscope {
namespace {

std::uint8_t to_byte(double fraction) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(fraction, 0.0, 1.0) * 255.0));
}

ColorMap from_floats(const std::array<color_tables::FloatRgb, 256>& table) {
    ColorMap map;
    for (std::size_t i = 0; i < 256; ++i)
        map.colors[i] = Rgb{to_byte(table[i].r), to_byte(table[i].g), to_byte(table[i].b)};
    return map;
}

// 256 colours interpolated linearly between evenly spaced control points.
ColorMap from_points(std::span<const color_tables::ByteRgb> points) {
    ColorMap map;
    const double last = static_cast<double>(points.size() - 1);
    for (std::size_t i = 0; i < 256; ++i) {
        const double at = static_cast<double>(i) / 255.0 * last;
        const auto left = std::min(static_cast<std::size_t>(at), points.size() - 2);
        const double t = at - static_cast<double>(left);
        auto mix = [&](std::uint8_t a, std::uint8_t b) {
            return static_cast<std::uint8_t>(std::lround(a + (b - a) * t));
        };
        const auto& p = points[left];
        const auto& q = points[left + 1];
        map.colors[i] = Rgb{mix(p.r, q.r), mix(p.g, q.g), mix(p.b, q.b)};
    }
    return map;
}

ColorMap reversed(ColorMap map) {
    std::reverse(map.colors.begin(), map.colors.end());
    return map;
}

struct NamedMap {
    std::string_view name;
    ColorMap (*make)();
};

// The diverging map runs from blue (low) through white to red (high): the
// ColorBrewer table, published red first, read backwards.
const NamedMap kMaps[] = {
    {"viridis", [] { return from_floats(color_tables::viridis); }},
    {"magma", [] { return from_floats(color_tables::magma); }},
    {"inferno", [] { return from_floats(color_tables::inferno); }},
    {"plasma", [] { return from_floats(color_tables::plasma); }},
    {"cividis", [] { return from_floats(color_tables::cividis); }},
    {"greys", [] { return from_points(color_tables::greys); }},
    {"reds", [] { return from_points(color_tables::reds); }},
    {"blues", [] { return from_points(color_tables::blues); }},
    {"blue_white_red", [] { return reversed(from_points(color_tables::rdbu)); }},
};

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

Rgb ColorMap::at(double fraction) const {
    const double clamped = std::clamp(fraction, 0.0, 1.0);
    return colors[std::min<std::size_t>(255, static_cast<std::size_t>(clamped * 256.0))];
}

std::vector<std::string> color_map_names() {
    std::vector<std::string> names;
    for (const auto& map : kMaps) names.emplace_back(map.name);
    return names;
}

Result<ColorMap> find_color_map(std::string_view name, bool reverse) {
    std::string_view base = name;
    if (base.ends_with("_r")) {
        base.remove_suffix(2);
        reverse = !reverse;
    }
    for (const auto& map : kMaps)
        if (map.name == base) return reverse ? reversed(map.make()) : map.make();
    return fail(fmt::format("Unknown colour map '{}': the colour maps are {} (each reversed with the suffix _r)",
                            name, fmt::join(color_map_names(), ", ")));
}

Result<Rgb> parse_color(std::string_view text) {
    auto refuse = [&] { return fail(fmt::format("The colour '{}' is not of the form #rrggbb", text)); };
    if (text.size() != 7 || text[0] != '#') return refuse();
    std::uint8_t parts[3];
    for (std::size_t i = 0; i < 3; ++i) {
        const int high = hex_digit(text[1 + 2 * i]);
        const int low = hex_digit(text[2 + 2 * i]);
        if (high < 0 || low < 0) return refuse();
        parts[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return Rgb{parts[0], parts[1], parts[2]};
}

Result<Rgb> parse_named_color(std::string_view text) {
    static constexpr std::pair<std::string_view, Rgb> kNames[] = {
        {"black", {0, 0, 0}},           {"white", {255, 255, 255}},     {"grey", {128, 128, 128}},
        {"gray", {128, 128, 128}},      {"red", {255, 0, 0}},           {"green", {0, 128, 0}},
        {"blue", {0, 0, 255}},          {"orange", {255, 165, 0}},      {"purple", {128, 0, 128}},
        {"brown", {165, 42, 42}},       {"pink", {255, 192, 203}},      {"olive", {128, 128, 0}},
        {"cyan", {0, 255, 255}},        {"magenta", {255, 0, 255}},     {"yellow", {255, 255, 0}},
        {"navy", {0, 0, 128}},          {"teal", {0, 128, 128}},        {"maroon", {128, 0, 0}},
        {"gold", {255, 215, 0}},        {"darkred", {139, 0, 0}},       {"darkgreen", {0, 100, 0}},
        {"darkblue", {0, 0, 139}},      {"darkorange", {255, 140, 0}},  {"lightgrey", {211, 211, 211}},
        {"lightgray", {211, 211, 211}}, {"skyblue", {135, 206, 235}},   {"steelblue", {70, 130, 180}},
    };
    for (const auto& [name, color] : kNames)
        if (text == name) return color;
    if (text.starts_with('#')) return parse_color(text);
    return fail(fmt::format("The colour '{}' is neither a colour name nor of the form #rrggbb", text));
}

Result<ColorMap> color_map_from_list(const std::vector<std::string>& colors) {
    if (colors.size() < 2)
        return fail(fmt::format("Invalid --colorList: {} colour{}; a map needs two or more", colors.size(),
                                colors.size() == 1 ? "" : "s"));
    std::vector<color_tables::ByteRgb> points;
    for (const std::string& text : colors) {
        auto color = parse_named_color(text);
        if (!color) return fail(std::move(color).error().context("Invalid --colorList"));
        points.push_back({color->r, color->g, color->b});
    }
    return from_points(points);
}

Rgb line_color(std::size_t index) {
    const auto& c = color_tables::dark2[index % color_tables::dark2.size()];
    return Rgb{c.r, c.g, c.b};
}

Rgb contrasting(Rgb color) {
    const double luminance = 0.2126 * color.r + 0.7152 * color.g + 0.0722 * color.b;
    return luminance < 128.0 ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
}

}  // namespace binscope
