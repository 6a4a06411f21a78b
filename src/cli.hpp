// cli.hpp - the command-line records and the parser that fills them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "figure/figure_options.hpp"

namespace binscope {

// Options shared by both subcommands, in declaration (and help) order.
struct CommonArgs {
    std::vector<std::string> score_file_name;
    std::vector<std::string> regions_file_name;
    std::string out_file_name;
    std::optional<std::string> out_file_name_matrix;
    std::optional<std::string> out_file_sorted_regions;
    std::int64_t before_region_start_length = 500;
    std::int64_t after_region_start_length = 1500;
    std::int64_t bin_size = 10;
    std::string average_type_bins = "mean";
    bool skip_zeros = false;
    bool missing_data_as_zero = false;
    std::optional<double> min_threshold;
    std::optional<double> max_threshold;
    double scale = 1.0;
    bool nan_after_end = false;
    bool metagene = false;
    std::optional<std::string> black_list_file_name;
    std::optional<std::vector<std::string>> samples_label;
    bool smart_labels = false;
    std::size_t number_of_processors = 1;
    std::string sort_regions = "keep";
    std::string sort_using = "mean";
    bool verbose = false;
    bool quiet = false;
};

struct ReferencePoint {
    CommonArgs common;
    std::string reference_point = "TSS";
};

struct ScaleRegions {
    CommonArgs common;
    std::int64_t region_body_length = 1000;
    std::int64_t unscaled_5_prime = 0;
    std::int64_t unscaled_3_prime = 0;
};

// Options shared by the two figure subcommands, in help order. Defaults
// come from the figure settings' records.
struct FigureArgs {
    std::string matrix_file;
    std::string out_file_name;  // its extension names the format
    std::optional<std::size_t> kmeans;
    std::size_t seed = RowOrderSettings{}.seed;
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
    std::size_t number_of_processors = 1;
};

struct Heatmap {
    FigureArgs figure;
    std::optional<std::string> out_file_sorted_regions;
    std::string sort_regions = "keep";
    std::string sort_using = "mean";
    std::string color_map = ColorSettings{}.color_map;  // "_r" at the end reverses it
    std::optional<std::vector<double>> z_min;
    std::optional<std::vector<double>> z_max;
    std::string missing_data_color = ColorSettings{}.missing_color;
    double panel_height = FigureStyle{}.panel_height_cm;
    double profile_height = FigureStyle{}.profile_height_cm;
};

struct Profile {
    FigureArgs figure;
    double panel_height = FigureStyle{}.profile_height_cm;
    bool per_group = false;
};

struct Cli {
    std::variant<ReferencePoint, ScaleRegions, Heatmap, Profile> command;
};

// What the parser decided: run with a Cli, or stop with text and a status
// (help and version on standard output with 0, usage errors on standard
// error with 2).
struct ParseExit {
    std::string text;
    bool to_stderr = false;
    int status = 0;
};

using ParseOutcome = std::variant<Cli, ParseExit>;

// Parses the process arguments (argv[0] is the program name).
ParseOutcome parse_command_line(const std::vector<std::string>& args);

}  // namespace binscope
