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

// How a profile panel draws its lines: their colours (the palette's past
// the given ones) and whether the area down to zero is shaded.
struct LineLook {
    std::vector<Rgb> colors;
    PlotType type = PlotType::lines;
    Rgb color(std::size_t index) const { return index < colors.size() ? colors[index] : line_color(index); }
};

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
// minus their spreads, with a little room above and below (none without
// `room`).
ColorLimits profile_range(const std::vector<ProfileLine>& lines, bool room = true);

// A profile panel: frame, value axis on the left, x axis under it, one
// line per entry of `lines` (a band around it when it has a spread, the
// area down to zero shaded with PlotType::fill).
void draw_profile_panel(cairo_t* cr, Box box, const std::vector<ProfileLine>& lines, const ColorLimits& range,
                        const std::vector<AxisTick>& ticks, double bins, const LineLook& look = {});

// A profile panel drawn as a heat map: a strip per line, top to bottom,
// its bins coloured through `map` between `range` (bins without a value
// in `missing`); a frame, the x axis under it and a colour scale at
// profile_scale_box(box).
void draw_profile_heatmap(cairo_t* cr, Box box, const std::vector<ProfileLine>& lines, const ColorLimits& range,
                          const ColorMap& map, Rgb missing, const std::vector<AxisTick>& ticks, double bins);

// `labels[i]` right-aligned at `right`, centred on the i-th of as many
// equal strips of `box`, top to bottom; a strip lower than a label gets none.
void draw_strip_labels(cairo_t* cr, Box box, const std::vector<std::string>& labels, double right);

// A legend: a short line in look.color(i) and labels[i], one per row; past
// kMaxLegendLines rows, a last row "and N more" stands for the rest.
void draw_line_legend(cairo_t* cr, Anchor top_left, const std::vector<std::string>& labels, const LineLook& look = {});

// The same legend on a white ground in a corner of `box` (`where` is not
// LegendLocation::beside nor none).
void draw_corner_legend(cairo_t* cr, Box box, LegendLocation where, const std::vector<std::string>& labels,
                        const LineLook& look);

// The legend where `where` asks: at `beside` (draw_line_legend), in a
// corner of `first_panel`, or nowhere.
void draw_profile_legend(cairo_t* cr, LegendLocation where, Anchor beside, Box first_panel,
                         const std::vector<std::string>& labels, const LineLook& look);

// `text` centred under `box`, below its tick labels; with `vertical`,
// turned a quarter left and centred left of `box`, `offset` points from it.
void draw_axis_label(cairo_t* cr, Box box, const std::string& text, bool vertical, double offset);

// A vertical colour bar, low at the bottom, with value ticks on its right.
void draw_color_bar(cairo_t* cr, Box box, const ColorMap& map, const ColorLimits& limits);

// The missing-value colour's square and the word "missing".
void draw_missing_swatch(cairo_t* cr, Box box, Rgb missing);

}  // namespace binscope
