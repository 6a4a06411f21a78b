// paint.hpp - the pieces both figures are painted from: text, a raster,
// axes, profile lines, legends and colour bars, each at a given place.
#pragma once

#include <cairo.h>

#include <string>
#include <vector>

#include "figure/color_scale.hpp"
#include "figure/colormap.hpp"
#include "figure/downsample.hpp"
#include "figure/figure_input.hpp"
#include "figure/layout.hpp"
#include "figure/profile_stats.hpp"

namespace binscope {

enum class Align { left, center, right };

void set_color(cairo_t* cr, Rgb color, double alpha = 1.0);

// `text` at `size` points, its baseline at anchor.y, aligned at anchor.x.
void draw_text(cairo_t* cr, const std::string& text, Anchor anchor, double size, Align align);

// The raster filling `box`, one image whose cells are scaled up without
// smoothing: values coloured through `map` between `limits`, NaN in `missing`.
void paint_raster(cairo_t* cr, const Raster& raster, const ColorLimits& limits, const ColorMap& map, Rgb missing,
                  Box box);

// Ticks and labels under `box` for positions in [0, bins]. A label that
// would overlap one already drawn is left out, shorter labels drawn first.
void draw_x_axis(cairo_t* cr, Box box, const std::vector<AxisTick>& ticks, double bins);

// The value range of a profile panel's lines: their centres plus and
// minus their spreads, with a little room above and below.
ColorLimits profile_range(const std::vector<ProfileLine>& lines);

// A profile panel: frame, value axis on the left, x axis under it, one
// line per entry of `lines` (a band around it when it has a spread).
void draw_profile_panel(cairo_t* cr, Box box, const std::vector<ProfileLine>& lines, const ColorLimits& range,
                        const std::vector<AxisTick>& ticks, double bins);

// A legend: a short line in line_color(i) and labels[i], one per row; past
// kMaxLegendLines rows, a last row "and N more" stands for the rest.
void draw_line_legend(cairo_t* cr, Anchor top_left, const std::vector<std::string>& labels);

// A vertical colour bar, low at the bottom, with value ticks on its right.
void draw_color_bar(cairo_t* cr, Box box, const ColorMap& map, const ColorLimits& limits);

// The missing-value colour's square and the word "missing".
void draw_missing_swatch(cairo_t* cr, Box box, Rgb missing);

}  // namespace binscope
