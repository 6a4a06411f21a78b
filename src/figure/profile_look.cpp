// profile_look.cpp - the colours of the profile lines and the value range
// of each panel, checked against the figure they go into.
#include "figure/profile_look.hpp"

#include <algorithm>
#include <fmt/format.h>

namespace binscope {

namespace {

std::string plural(std::size_t count, std::string_view noun) {
    return fmt::format("{} {}{}", count, noun, count == 1 ? "" : "s");
}

}  // namespace

Result<LineLook> line_look(const ProfileSettings& settings, std::size_t lines) {
    LineLook look;
    look.type = settings.plot_type;
    if (settings.plot_type == PlotType::heatmap && settings.band != ProfileBand::none)
        return fail("Invalid --band: a profile drawn as a heat map has no band (use --plotType lines or fill)");
    if (settings.plot_type == PlotType::heatmap && !settings.colors.empty())
        return fail("Invalid --colors: a profile drawn as a heat map has no lines to colour");
    if (settings.colors.empty()) return look;
    if (settings.colors.size() != lines)
        return fail(fmt::format("Invalid --colors: {} for {} (give one per line)", plural(settings.colors.size(), "colour"),
                                plural(lines, "line")));
    for (const std::string& text : settings.colors) {
        auto color = parse_named_color(text);
        if (!color) return fail(std::move(color).error().context("Invalid --colors"));
        look.colors.push_back(*color);
    }
    return look;
}

Result<std::vector<ColorLimits>> panel_ranges(const std::vector<std::vector<ProfileLine>>& panels,
                                              const ProfileSettings& settings) {
    for (const auto& [option, values] : {std::pair{"--yMin", &settings.y_min}, std::pair{"--yMax", &settings.y_max}})
        if (values->size() > 1 && values->size() != panels.size())
            return fail(fmt::format("Invalid {}: {} for {} (give one for every panel, or one per panel)", option,
                                    plural(values->size(), "value"), plural(panels.size(), "panel")));
    std::vector<ColorLimits> ranges;
    std::vector<ProfileLine> every;
    if (settings.shared_y)
        for (const auto& lines : panels) every.insert(every.end(), lines.begin(), lines.end());
    const bool room = settings.plot_type != PlotType::heatmap;  // a heat map's colours span the values exactly
    const ColorLimits shared = settings.shared_y ? profile_range(every, room) : ColorLimits{};
    for (std::size_t p = 0; p < panels.size(); ++p) {
        ColorLimits range = settings.shared_y ? shared : profile_range(panels[p], room);
        if (settings.plot_type == PlotType::fill) {  // the shading reaches zero
            range.low = std::min(range.low, 0.0);
            range.high = std::max(range.high, 0.0);
        }
        if (!settings.y_min.empty()) range.low = settings.y_min[settings.y_min.size() == 1 ? 0 : p];
        if (!settings.y_max.empty()) range.high = settings.y_max[settings.y_max.size() == 1 ? 0 : p];
        if (!(range.low < range.high))
            return fail(fmt::format("Invalid --yMin or --yMax: the value range of panel {} would run from {} to {}",
                                    p + 1, range.low, range.high));
        ranges.push_back(range);
    }
    return ranges;
}

}  // namespace binscope
