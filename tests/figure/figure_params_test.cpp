// figure_params_test.cpp - the settings of a figure run made from its
// parsed command line.
#include "figure_params_from_cli.hpp"

#include <gtest/gtest.h>

#include <tuple>


namespace binscope {
namespace {

TEST(FigureParams, FormatFromTheExtensionInAnyCase) {
    const std::pair<const char*, std::optional<FigureFormat>> cases[] = {
        {"a.png", FigureFormat::png}, {"dir.x/b.SVG", FigureFormat::svg}, {"c.tar.Pdf", FigureFormat::pdf},
        {".png", FigureFormat::png},  {"png", std::nullopt},              {"a.pdf/b", std::nullopt},
        {"a.jpeg", std::nullopt},     {"a.png.", std::nullopt},
    };
    for (const auto& [path, format] : cases) EXPECT_EQ(figure_format_of_path(path), format) << path;
}

// Defaults of the command line are the records' defaults.
TEST(FigureParams, DefaultsAreTheRecords) {
    Heatmap h;
    h.figure.out_file_name = "f.svg";
    const FigureParams p = make_figure_params(h);
    EXPECT_EQ(p.style.format, FigureFormat::svg);
    const FigureStyle s;
    EXPECT_EQ(std::tie(p.style.panel_width_cm, p.style.panel_height_cm, p.style.profile_height_cm, p.style.dpi,
                       p.style.title, p.style.start_label, p.style.end_label),
              std::tie(s.panel_width_cm, s.panel_height_cm, s.profile_height_cm, s.dpi, s.title, s.start_label,
                       s.end_label));
    const ColorSettings c;
    EXPECT_EQ(std::tie(p.color.color_map, p.color.reverse, p.color.missing_color, p.color.z_min, p.color.z_max),
              std::tie(c.color_map, c.reverse, c.missing_color, c.z_min, c.z_max));
    const RowOrderSettings r;
    EXPECT_EQ(std::tie(p.row_order.sort, p.row_order.sort_using, p.row_order.kmeans, p.row_order.seed,
                       p.row_order.sort_using_samples),
              std::tie(r.sort, r.sort_using, r.kmeans, r.seed, r.sort_using_samples));
    const ProfileSettings ps;
    EXPECT_EQ(std::tie(p.profile.statistic, p.profile.band, p.profile.per_group, p.profile.plot_type,
                       p.profile.shared_y, p.profile.legend, p.profile.colors, p.profile.y_min),
              std::tie(ps.statistic, ps.band, ps.per_group, ps.plot_type, ps.shared_y, ps.legend, ps.colors, ps.y_min));
    EXPECT_EQ(std::tie(p.threads, p.out_file_sorted_regions, p.out_file_name_data), std::tuple(1u, std::nullopt, std::nullopt));
    EXPECT_EQ(std::tie(p.row_order.hclust, p.row_order.cluster_on, p.selection.samples, p.selection.groups),
              std::tuple(r.hclust, r.cluster_on, SelectionSettings{}.samples, SelectionSettings{}.groups));
}

TEST(FigureParams, ValuesMapped) {
    Heatmap h;
    h.figure.out_file_name = "f.png";
    h.figure.sort_using_samples = {{2, 1}};
    h.figure.kmeans = 4;
    h.figure.number_of_processors = 0;
    h.figure.average_type = "median";
    h.figure.band = "std";
    h.color_map = {{"magma_r"}};
    h.sort_regions = "ascend";
    h.sort_using = "sum";
    h.figure.samples = {{"b", "1"}};
    h.figure.groups = {{"2"}};
    h.figure.hclust = 3;
    h.figure.cluster_on = "clipped";
    const FigureParams p = make_figure_params(h);
    EXPECT_EQ(std::tie(p.selection.samples, p.selection.groups, p.row_order.hclust, p.row_order.cluster_on),
              std::tuple(std::vector<std::string>{"b", "1"}, std::vector<std::string>{"2"}, 3u, ClusterOn::clipped));
    EXPECT_EQ(std::tie(p.color.color_map, p.color.reverse, p.color.sample_color_maps), std::tuple("magma", true, std::vector<std::string>{}));
    h.color_map = {{"magma_r", "greys"}};
    h.color_list = {{"white", "#ff0000"}};
    h.shared_scale = true;
    h.box_around_heatmaps = "yes";
    h.what_to_show = {{"heatmap", "colorbar"}};
    h.per_group = true;
    h.num_plots_per_row = 2;
    h.figure.plot_type = "heatmap";
    const FigureParams maps = make_figure_params(h);
    EXPECT_EQ(std::tuple(maps.style.show_profile, maps.style.show_heatmap, maps.style.show_color_bar),
              std::tuple(false, true, true));
    EXPECT_EQ(std::tuple(maps.profile.per_group, maps.style.plots_per_row, maps.profile.plot_type),
              std::tuple(true, 2u, PlotType::heatmap));
    EXPECT_EQ(std::tuple(p.profile.per_group, p.style.plots_per_row), std::tuple(false, 0u));
    EXPECT_EQ(std::tie(maps.color.sample_color_maps, maps.color.color_list, maps.color.shared_scale,
                       maps.color.box_around_heatmaps),
              std::tuple(std::vector<std::string>{"magma_r", "greys"}, std::vector<std::string>{"white", "#ff0000"},
                         true, true));
    EXPECT_EQ(p.row_order.sort_using_samples, (std::vector<std::size_t>{1, 0}));
    EXPECT_EQ(std::tie(p.row_order.kmeans, p.row_order.sort, p.row_order.sort_using, p.threads),
              std::tuple(4u, SortOrder::ascend, RowStatistic::sum, 1u));
    EXPECT_EQ(std::tie(p.profile.statistic, p.profile.band),
              std::tuple(ProfileStatistic::median, ProfileBand::standard_deviation));

    Profile pr;
    pr.figure.band = "se";
    pr.panel_height = 7;
    pr.per_group = true;
    pr.figure.out_file_sorted_regions = "r.bed";
    pr.figure.out_file_name_data = "d.tsv";
    pr.figure.plot_type = "fill";
    pr.figure.y_axis = "shared";
    pr.figure.legend_location = "upper-left";
    pr.figure.colors = {{"red"}};
    pr.figure.y_max = {{3}};
    pr.figure.x_axis_label = "bins";
    pr.num_plots_per_row = 3;
    const FigureParams q = make_figure_params(pr);
    EXPECT_EQ(std::tie(q.profile.plot_type, q.profile.shared_y, q.profile.legend, q.profile.colors, q.profile.y_max,
                       q.profile.x_axis_label, q.profile.y_axis_label),
              std::tuple(PlotType::fill, true, LegendLocation::upper_left, std::vector<std::string>{"red"},
                         std::vector<double>{3}, "bins", ""));
    EXPECT_EQ(std::tie(q.kind, q.style.profile_height_cm, q.profile.per_group, q.profile.band),
              std::tuple(FigureKind::profile, 7.0, true, ProfileBand::standard_error));
    EXPECT_EQ(std::tie(q.out_file_sorted_regions, q.out_file_name_data), std::tuple("r.bed", "d.tsv"));
    EXPECT_EQ(q.style.plots_per_row, 3u);
}

}  // namespace
}  // namespace binscope
