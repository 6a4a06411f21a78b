// figure_args.hpp - the command-line records of the figure subcommands,
// `heatmap` and `profile`.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "figure/figure_options.hpp"

namespace binscope {

// Options shared by the two figure subcommands, in help order. Defaults
// come from the figure settings' records.
struct FigureArgs {
    std::string matrix_file;
    std::string out_file_name;  // its extension names the format
    std::optional<std::string> out_file_sorted_regions;
    std::optional<std::string> out_file_name_data;
    std::optional<std::vector<std::string>> samples;  // labels or 1-based numbers
    std::optional<std::vector<std::string>> groups;
    std::optional<std::size_t> kmeans;
    std::size_t seed = RowOrderSettings{}.seed;
    std::optional<std::size_t> hclust;
    std::string cluster_on = "raw";
    std::optional<std::vector<std::size_t>> sort_using_samples;  // 1-based
    std::optional<std::vector<std::string>> samples_label;
    std::optional<std::vector<std::string>> group_labels;
    std::optional<std::string> ref_point_label;
    std::string start_label = FigureStyle{}.start_label;
    std::string end_label = FigureStyle{}.end_label;
    double panel_width = FigureStyle{}.panel_width_cm;
    double dpi = FigureStyle{}.dpi;
    std::optional<std::string> plot_title;
    std::string average_type = "mean";
    std::string band = "none";
    std::string plot_type = "lines";
    std::optional<std::vector<std::string>> colors;
    std::optional<std::vector<double>> y_min;
    std::optional<std::vector<double>> y_max;
    std::string y_axis = "panel";
    std::string legend_location = "beside";
    std::optional<std::string> x_axis_label;
    std::optional<std::string> y_axis_label;
    std::size_t number_of_processors = 1;
};

struct Heatmap {
    FigureArgs figure;
    FigureArgs& shared() { return figure; }  // where the parser stores the shared options
    std::string sort_regions = "keep";
    std::string sort_using = "mean";
    std::optional<std::vector<std::string>> color_map;  // one, or one per sample; "_r" at the end reverses one
    std::optional<std::vector<std::string>> color_list;
    bool shared_scale = false;
    std::string box_around_heatmaps = "no";
    std::optional<std::vector<std::string>> what_to_show;
    std::optional<std::vector<double>> z_min;
    std::optional<std::vector<double>> z_max;
    std::string missing_data_color = ColorSettings{}.missing_color;
    double panel_height = FigureStyle{}.panel_height_cm;
    double profile_height = FigureStyle{}.profile_height_cm;
    bool per_group = false;
    std::optional<std::size_t> num_plots_per_row;
};

struct Profile {
    FigureArgs figure;
    FigureArgs& shared() { return figure; }  // where the parser stores the shared options
    double panel_height = FigureStyle{}.profile_height_cm;
    bool per_group = false;
    std::optional<std::size_t> num_plots_per_row;
};

}  // namespace binscope
