// figure_params_from_cli.hpp - the settings of a figure run from the parsed
// command line: the one place that knows both the figure subcommands'
// records and FigureParams.
#pragma once

#include "cli.hpp"
#include "figure/figure_params.hpp"

namespace binscope {

// The settings of a figure subcommand's parsed command line, whose values
// the parser has checked one by one; those that depend on the matrix
// (label counts, sample numbers, k) are checked when it is read.
FigureParams make_figure_params(const Heatmap& args);
FigureParams make_figure_params(const Profile& args);

}  // namespace binscope
