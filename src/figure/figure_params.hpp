// figure_params.hpp - the settings of one `heatmap` or `profile` run, made
// from its command line.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "figure/figure_options.hpp"

namespace binscope {

// The command-line records of the two figure subcommands; only this
// module's source knows them, like params_from_cli for the matrix runs.
struct Heatmap;
struct Profile;

enum class FigureKind { heatmap, profile };

// Everything a figure run reads; built once by make_figure_params.
struct FigureParams {
    FigureKind kind = FigureKind::heatmap;
    std::string matrix_file;
    std::string out_file_name;
    std::optional<std::string> out_file_sorted_regions;  // heatmap only
    FigureStyle style;
    ColorSettings color;
    RowOrderSettings row_order;
    ProfileSettings profile;
    std::size_t threads = 1;  // at least 1
};

// The settings of a figure subcommand's parsed command line, whose values
// the parser has checked one by one; those that depend on the matrix
// (label counts, sample numbers, k) are checked when it is read.
FigureParams make_figure_params(const Heatmap& args);
FigureParams make_figure_params(const Profile& args);

}  // namespace binscope
