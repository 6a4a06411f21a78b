// figure_run.hpp - the pipeline of one `heatmap` or `profile` run.
#pragma once

#include "error.hpp"
#include "figure/figure_params.hpp"

namespace binscope {

// Reads the matrix file, orders its rows, puts the figure's data together,
// draws it and, for a heat map, writes the regions in drawn order.
Status run_figure(const FigureParams& params);

}  // namespace binscope
