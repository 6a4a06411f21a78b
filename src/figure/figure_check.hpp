// figure_check.hpp - refusing a figure input whose parts disagree before
// anything is drawn from it.
#pragma once

#include "error.hpp"
#include "figure/figure_input.hpp"
#include "figure/figure_options.hpp"

namespace binscope {

// Checks that the values hold whole rows of `cols`, that row_order is a
// list of rows of the values, that the group and sample boundaries rise
// from 0 to the rows and columns, and that there is one label per group,
// one label and one tick list per sample.
Status check_figure_input(const FigureInput& input);

// Checks that the panel sizes and the resolution are positive numbers.
Status check_figure_style(const FigureStyle& style);

}  // namespace binscope
