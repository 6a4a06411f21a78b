// heatmap_figure.hpp - the heat-map figure: a column per sample, rows in
// one order across them, each heat map under the average profile of its
// sample; or a column per group, its samples' heat maps stacked under one
// profile with a line per sample.
#pragma once

#include <cstddef>
#include <string>

#include "error.hpp"
#include "figure/figure_input.hpp"
#include "figure/figure_options.hpp"
#include "figure/layout.hpp"

namespace binscope {

// Draws `input` to `path` in style.format. Each panel's body is one raster
// image whose cells are the means of the rows and columns they cover
// (never across groups), coloured between each sample's colour limits,
// missing values in their own colour; group separators and labels, sample
// titles, axes, profiles, their legend, colour bars (one, or one per
// sample when the limits differ) and the missing-value colour are drawn
// over it as vectors. Raster cells and profiles are computed on `threads`
// workers; the file's bytes do not depend on their number.
Status draw_heatmap(const FigureInput& input, const FigureStyle& style, const ColorSettings& colors,
                    const ProfileSettings& profile, const std::string& path, std::size_t threads);

// The sizes draw_heatmap lays its figure out from; `shared_scale` when
// every sample has the same colour limits (one colour bar).
HeatmapSizes heatmap_sizes(const FigureInput& input, const FigureStyle& style, const ProfileSettings& profile,
                           bool shared_scale);

// Whether every sample has the x axis of the first: as many bins, the
// same ticks. Stacked heat maps of samples that differ each get their own.
bool same_axes(const FigureInput& input);

}  // namespace binscope
