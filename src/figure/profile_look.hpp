// profile_look.hpp - what the profile panels look like, worked out before
// painting: the lines' colours and each panel's value range.
#pragma once

#include <cstddef>
#include <vector>

#include "error.hpp"
#include "figure/color_scale.hpp"
#include "figure/figure_options.hpp"
#include "figure/paint.hpp"
#include "figure/profile_stats.hpp"

namespace binscope {

// The look of panels of `lines` lines each: the colours given (one per
// line) or the palette, and the plot type. Errors: a colour that is not
// one, another count of colours than of lines.
Result<LineLook> line_look(const ProfileSettings& settings, std::size_t lines);

// Each panel's value range: its lines' range (profile_range, without room
// for PlotType::heatmap), or with
// shared_y the range of every panel's lines, widened to reach zero for
// PlotType::fill; then the given limits in
// place of the low and high ends. Errors: another count of limits than one
// or one per panel, a low end not below its high end.
Result<std::vector<ColorLimits>> panel_ranges(const std::vector<std::vector<ProfileLine>>& panels,
                                              const ProfileSettings& settings);

}  // namespace binscope
