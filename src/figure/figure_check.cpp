// figure_check.cpp - consistency of a figure's input.
#include "figure/figure_check.hpp"

#include <algorithm>
#include <cmath>
#include <utility>
#include <fmt/format.h>

namespace binscope {
namespace {

bool rising(const std::vector<std::size_t>& bounds, std::size_t last) {
    return !bounds.empty() && bounds.front() == 0 && bounds.back() == last && std::is_sorted(bounds.begin(), bounds.end());
}

}  // namespace

Status check_figure_input(const FigureInput& in) {
    auto refuse = [](std::string why) { return fail(fmt::format("Cannot draw the figure: {}", why)); };
    if (in.cols == 0 || in.values.size() % in.cols != 0)
        return refuse(fmt::format("{} values are not whole rows of {} columns", in.values.size(), in.cols));
    const std::size_t rows = in.values.size() / in.cols;
    if (in.row_order.empty()) return refuse("the matrix has no rows");
    if (std::any_of(in.row_order.begin(), in.row_order.end(), [&](auto r) { return r >= rows; }))
        return refuse(fmt::format("the row order names a row past the matrix's {} rows", rows));
    if (!rising(in.group_boundaries, in.rows()) || in.group_labels.size() + 1 != in.group_boundaries.size())
        return refuse(fmt::format("the group boundaries do not run from 0 to the {} rows, one group per label", in.rows()));
    if (!rising(in.sample_boundaries, in.cols) || in.sample_labels.size() + 1 != in.sample_boundaries.size() ||
        in.ticks.size() != in.sample_labels.size())
        return refuse(fmt::format("the sample boundaries do not run from 0 to the {} columns, one sample per label",
                                  in.cols));
    for (std::size_t s = 0; s + 1 < in.sample_boundaries.size(); ++s)
        if (in.sample_boundaries[s] == in.sample_boundaries[s + 1])
            return refuse(fmt::format("sample '{}' has no columns", in.sample_labels[s]));
    return {};
}

Status check_figure_style(const FigureStyle& style) {
    const std::pair<double, const char*> sizes[] = {{style.panel_width_cm, "panel width"},
                                                    {style.panel_height_cm, "panel height"},
                                                    {style.profile_height_cm, "profile height"},
                                                    {style.dpi, "resolution"}};
    for (const auto& [value, name] : sizes)
        if (!(value > 0) || !std::isfinite(value))
            return fail(fmt::format("Cannot draw the figure: its {} is {}, not a positive number", name, value));
    return {};
}

}  // namespace binscope
