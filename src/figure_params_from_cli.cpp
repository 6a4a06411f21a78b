// figure_params_from_cli.cpp - turns the parsed command line of `heatmap`
// or `profile` into the settings of the figure run.
#include "figure_params_from_cli.hpp"

#include <algorithm>

#include "text_util.hpp"

namespace binscope {

namespace {

// The words below are the only ones the parser lets through; anything
// else keeps the record's default.
SortOrder sort_order(std::string_view word) {
    if (word == "descend") return SortOrder::descend;
    if (word == "ascend") return SortOrder::ascend;
    return SortOrder::keep;
}

RowStatistic row_statistic(std::string_view word) {
    if (word == "median") return RowStatistic::median;
    if (word == "max") return RowStatistic::max;
    if (word == "min") return RowStatistic::min;
    if (word == "sum") return RowStatistic::sum;
    if (word == "region_length") return RowStatistic::region_length;
    return RowStatistic::mean;
}

LegendLocation legend_location(std::string_view word) {
    if (word == "upper-right") return LegendLocation::upper_right;
    if (word == "upper-left") return LegendLocation::upper_left;
    if (word == "lower-right") return LegendLocation::lower_right;
    if (word == "lower-left") return LegendLocation::lower_left;
    if (word == "none") return LegendLocation::none;
    return LegendLocation::beside;
}

ProfileSettings profile_settings(const FigureArgs& a) {
    ProfileSettings p;
    p.statistic = a.average_type == "median" ? ProfileStatistic::median : ProfileStatistic::mean;
    if (a.band == "se") p.band = ProfileBand::standard_error;
    else if (a.band == "std") p.band = ProfileBand::standard_deviation;
    p.plot_type = a.plot_type == "fill" ? PlotType::fill : a.plot_type == "heatmap" ? PlotType::heatmap : PlotType::lines;
    p.colors = a.colors.value_or(std::vector<std::string>{});
    p.y_min = a.y_min.value_or(std::vector<double>{});
    p.y_max = a.y_max.value_or(std::vector<double>{});
    p.shared_y = a.y_axis == "shared";
    p.legend = legend_location(a.legend_location);
    p.x_axis_label = a.x_axis_label.value_or("");
    p.y_axis_label = a.y_axis_label.value_or("");
    return p;
}

// The settings both subcommands share.
FigureParams shared_params(FigureKind kind, const FigureArgs& a) {
    FigureParams p;
    p.kind = kind;
    p.matrix_file = a.matrix_file;
    p.out_file_name = a.out_file_name;
    p.out_file_sorted_regions = a.out_file_sorted_regions;
    p.out_file_name_data = a.out_file_name_data;
    p.selection.samples = a.samples.value_or(std::vector<std::string>{});
    p.selection.groups = a.groups.value_or(std::vector<std::string>{});
    p.style.format = figure_format_of_path(a.out_file_name).value_or(FigureFormat::png);
    p.style.panel_width_cm = a.panel_width;
    p.style.dpi = a.dpi;
    p.style.title = a.plot_title.value_or("");
    p.style.sample_labels = a.samples_label.value_or(std::vector<std::string>{});
    p.style.group_labels = a.group_labels.value_or(std::vector<std::string>{});
    p.style.ref_point_label = a.ref_point_label;
    p.style.start_label = a.start_label;
    p.style.end_label = a.end_label;
    p.row_order.kmeans = a.kmeans.value_or(0);
    p.row_order.seed = a.seed;
    p.row_order.hclust = a.hclust.value_or(0);
    p.row_order.cluster_on = a.cluster_on == "clipped" ? ClusterOn::clipped : ClusterOn::raw;
    if (a.sort_using_samples)
        for (const std::size_t sample : *a.sort_using_samples) p.row_order.sort_using_samples.push_back(sample - 1);
    p.profile = profile_settings(a);
    p.threads = a.number_of_processors == 0 ? 1 : a.number_of_processors;
    return p;
}

}  // namespace

FigureParams make_figure_params(const Heatmap& args) {
    FigureParams p = shared_params(FigureKind::heatmap, args.figure);
    p.row_order.sort = sort_order(args.sort_regions);
    p.row_order.sort_using = row_statistic(args.sort_using);
    p.style.panel_height_cm = args.panel_height;
    p.style.profile_height_cm = args.profile_height;
    p.profile.per_group = args.per_group;
    p.style.plots_per_row = args.num_plots_per_row.value_or(0);
    const std::vector<std::string> maps = args.color_map.value_or(std::vector<std::string>{p.color.color_map});
    std::string_view map = maps.front();
    p.color.reverse = map.ends_with("_r");
    if (p.color.reverse) map.remove_suffix(2);
    p.color.color_map = map;
    if (maps.size() > 1) p.color.sample_color_maps = maps;
    p.color.color_list = args.color_list.value_or(std::vector<std::string>{});
    p.color.shared_scale = args.shared_scale;
    p.color.box_around_heatmaps = args.box_around_heatmaps == "yes";
    if (args.what_to_show) {
        const auto shows = [&](std::string_view part) {
            return std::find(args.what_to_show->begin(), args.what_to_show->end(), part) != args.what_to_show->end();
        };
        p.style.show_profile = shows("profile");
        p.style.show_heatmap = shows("heatmap");
        p.style.show_color_bar = shows("colorbar");
    }
    p.color.z_min = args.z_min.value_or(std::vector<double>{});
    p.color.z_max = args.z_max.value_or(std::vector<double>{});
    p.color.missing_color = args.missing_data_color;
    return p;
}

FigureParams make_figure_params(const Profile& args) {
    FigureParams p = shared_params(FigureKind::profile, args.figure);
    p.style.profile_height_cm = args.panel_height;
    p.profile.per_group = args.per_group;
    p.style.plots_per_row = args.num_plots_per_row.value_or(0);
    return p;
}

}  // namespace binscope
