// figure_options.hpp - what a figure shows and how: the settings shared by
// `heatmap` and `profile`, filled from the command line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace binscope {

enum class FigureFormat { png, svg, pdf };

// The samples and groups a figure draws, in the order given: each entry a
// label, or else a number counted from 1. Empty: every one, in file order.
struct SelectionSettings {
    std::vector<std::string> samples;
    std::vector<std::string> groups;
};

// The format a figure path asks for by its extension (any case), or
// nothing for another extension.
std::optional<FigureFormat> figure_format_of_path(std::string_view path);

// Texts and sizes of every figure.
struct FigureStyle {
    FigureFormat format = FigureFormat::png;
    double panel_width_cm = 4.0;    // heat-map panel (or profile panel) width
    double panel_height_cm = 20.0;  // heat-map panel height
    double profile_height_cm = 4.0; // profile panel height
    double dpi = 150.0;             // PNG resolution, and the raster resolution in SVG and PDF
    std::string title;              // empty: no title
    std::vector<std::string> sample_labels;  // empty: the header's
    std::vector<std::string> group_labels;   // empty: the header's (or the clusters')
    std::optional<std::string> ref_point_label;  // reference-point matrices: replaces the header's "TSS"/"TES"/"center"
    std::string start_label = "TSS";  // scale-regions: the body's start
    std::string end_label = "TES";    // scale-regions: the body's end
    // The parts of a heat-map figure drawn: the profiles, the heat maps,
    // the colour bars (with the missing-value swatch).
    bool show_profile = true;
    bool show_heatmap = true;
    bool show_color_bar = true;
    std::size_t plots_per_row = 0;  // panels (heat-map columns) in a row before the next (0: all in one row)
};

// How heat-map values become colours.
struct ColorSettings {
    std::string color_map = "viridis";  // a name of the colour-map table
    bool reverse = false;
    // Limits: empty for robust percentiles of each sample's values; one
    // value for every sample, or one per sample.
    std::vector<double> z_min;
    std::vector<double> z_max;
    std::string missing_color = "#b3b3b3";  // "#rrggbb": a light grey, apart from every map but greys
    // One map name per sample ("_r" reversing each), in place of color_map.
    std::vector<std::string> sample_color_maps;
    // Two or more colours (names or "#rrggbb"): one map running evenly
    // through them, in place of any named map.
    std::vector<std::string> color_list;
    bool shared_scale = false;  // every sample's missing limits from the percentiles of all values drawn
    bool box_around_heatmaps = false;
};

enum class RowStatistic { mean, median, max, min, sum, region_length };
enum class SortOrder { keep, ascend, descend };
enum class ClusterOn { raw, clipped };  // clipped: each sample's values to its colour limits

// The order of the heat map's rows.
struct RowOrderSettings {
    SortOrder sort = SortOrder::keep;
    RowStatistic sort_using = RowStatistic::mean;
    std::vector<std::size_t> sort_using_samples;  // 0-based; empty for all
    std::size_t kmeans = 0;                       // 0: no clustering
    std::size_t hclust = 0;                       // 0: no hierarchical clustering
    ClusterOn cluster_on = ClusterOn::raw;
    std::uint64_t seed = 0;
};

enum class ProfileStatistic { mean, median };
enum class ProfileBand { none, standard_error, standard_deviation };
// fill: the area between a line and zero, shaded; heatmap: a small heat
// map of the lines, one row per line, its colours spanning the panel's range.
enum class PlotType { lines, fill, heatmap };
// Where a profile legend goes: beside the panels (right of the last one),
// in a corner of the first panel, or nowhere.
enum class LegendLocation { beside, upper_right, upper_left, lower_right, lower_left, none };

struct ProfileSettings {
    ProfileStatistic statistic = ProfileStatistic::mean;
    ProfileBand band = ProfileBand::none;
    // One panel per group with a line per sample; in a heat-map figure one
    // column per group, its samples' heat maps stacked under the profile.
    bool per_group = false;
    PlotType plot_type = PlotType::lines;
    std::vector<std::string> colors;  // one per line, a name or "#rrggbb"; empty: the palette
    // A panel's value range: empty for its lines' range (with a little
    // room); one value for every panel, or one per panel.
    std::vector<double> y_min;
    std::vector<double> y_max;
    bool shared_y = false;  // one value range, the widest, across the figure's panels
    LegendLocation legend = LegendLocation::beside;
    std::string x_axis_label;  // empty: none
    std::string y_axis_label;
};

}  // namespace binscope
