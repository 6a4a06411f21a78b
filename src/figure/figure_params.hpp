// figure_params.hpp - the settings of one `heatmap` or `profile` run.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "figure/figure_options.hpp"

namespace binscope {

enum class FigureKind { heatmap, profile };

// Everything a figure run reads; built once, from the command line or a caller.
struct FigureParams {
    FigureKind kind = FigureKind::heatmap;
    std::string matrix_file;
    std::string out_file_name;
    std::optional<std::string> out_file_sorted_regions;
    std::optional<std::string> out_file_name_data;  // the profiles' numbers, as a table
    SelectionSettings selection;
    FigureStyle style;
    ColorSettings color;
    RowOrderSettings row_order;
    ProfileSettings profile;
    std::size_t threads = 1;  // at least 1
};

}  // namespace binscope
