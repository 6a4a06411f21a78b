// figure_commands.cpp - the options of `heatmap` and `profile`: the rows
// they share, and each subcommand's table in its help order.
#include "cli/figure_commands.hpp"

#include <vector>

#include "cli/value_checks.hpp"

namespace binscope::cli {

namespace {

constexpr std::string_view kSortOrders[] = {"keep", "descend", "ascend"};
constexpr std::string_view kSortStatistics[] = {"mean", "median", "max", "min", "sum", "region_length"};
constexpr std::string_view kYesNo[] = {"yes", "no"};
constexpr std::string_view kParts[] = {"profile", "heatmap", "colorbar"};
constexpr std::string_view kAverageTypes[] = {"mean", "median"};
constexpr std::string_view kBands[] = {"none", "se", "std"};
constexpr std::string_view kClusterOn[] = {"raw", "clipped"};
constexpr std::string_view kPlotTypes[] = {"lines", "fill", "heatmap"};
constexpr std::string_view kYAxes[] = {"panel", "shared"};
constexpr std::string_view kLegendLocations[] = {"beside", "upper-right", "upper-left", "lower-right", "lower-left",
                                                 "none"};

// The rows of the options both figure subcommands have.
struct SharedRows {
    OptionSpec matrix_file, out_file_name, out_file_sorted_regions, out_file_name_data, samples, groups,
        sort_using_samples, kmeans, seed, hclust, cluster_on, samples_label, group_labels,
        ref_point_label, start_label, end_label, panel_width, dpi, plot_title, average_type, band, plot_type, colors,
        y_min, y_max, y_axis, legend_location, x_axis_label, y_axis_label, threads;

    // The runs of shared rows that stand together in both help texts.
    std::vector<OptionSpec> files_and_selection() const {
        return {matrix_file, out_file_name, out_file_sorted_regions, out_file_name_data, samples, groups};
    }
    std::vector<OptionSpec> clustering() const { return {sort_using_samples, kmeans, seed, hclust, cluster_on}; }
    std::vector<OptionSpec> labels_and_width() const {
        return {samples_label, group_labels, ref_point_label, start_label, end_label, panel_width};
    }
    std::vector<OptionSpec> profile_look() const {
        return {dpi,   plot_title, average_type, band,    plot_type,       colors,
                y_min, y_max,      y_axis,       legend_location, x_axis_label, y_axis_label};
    }
};

// The runs given, one after the other, as one table.
std::vector<OptionSpec> joined(std::initializer_list<std::vector<OptionSpec>> runs) {
    std::vector<OptionSpec> rows;
    for (const auto& run : runs) rows.insert(rows.end(), run.begin(), run.end());
    return rows;
}

const SharedRows& shared_rows() {
    using F = FigureArgs;
    static const SharedRows rows{
        option<&F::matrix_file>({"matrixFile", 'm', "MATRIX_FILE", true,
                                 "Gzipped matrix file, as written by reference-point or scale-regions"}),
        option<&F::out_file_name>({"outFileName", 'o', "OUT_FILE_NAME", true,
                                   "Figure file; its extension gives the format: .png, .svg or .pdf (any case)"},
                                  figure_path),
        option<&F::out_file_sorted_regions>(
            {"outFileSortedRegions", 0, "OUT_FILE_SORTED_REGIONS", false,
             "Optional BED12 file of the regions in drawn order, each with its group or cluster label"}),
        option<&F::out_file_name_data>(
            {"outFileNameData", 0, "OUT_FILE_NAME_DATA", false,
             "Optional tab-separated table of the numbers behind the profiles: a line per drawn line and bin, "
             "with sample, group, bin, label, value, band and count"}),
        option<&F::samples>({"samples", 0, "SAMPLES", false,
                             "Samples to draw, in this order: labels, or numbers from 1 (default: all); per-sample "
                             "options count the samples drawn"}),
        option<&F::groups>({"groups", 0, "GROUPS", false,
                            "Groups to draw, in this order: labels, or numbers from 1 (default: all); per-group "
                            "options count the groups drawn"}),
        option<&F::sort_using_samples>(
            {"sortUsingSamples", 0, "SORT_USING_SAMPLES", false,
             "Samples (numbered from 1) whose columns the rows are sorted and clustered by (default: all)"},
            at_least_one),
        option<&F::kmeans>({"kmeans", 0, "KMEANS", false,
                            "Cluster the rows into this many clusters by k-means; the clusters replace the groups"},
                           at_least_one),
        option<&F::seed>({"seed", 0, "SEED", false,
                          "Seed of the k-means initialisation: the same seed gives the same clusters"}),
        option<&F::hclust>({"hclust", 0, "HCLUST", false,
                            "Cluster the rows into this many clusters by hierarchical clustering (average linkage, "
                            "at most 6000 rows); the clusters replace the groups"},
                           at_least_one),
        option<&F::cluster_on>({"clusterOn", 0, "CLUSTER_ON", false,
                                "Values the clustering uses: raw, or clipped (each sample's values clipped to its "
                                "colour limits, --zMin/--zMax or the default percentiles)"},
                               one_of<kClusterOn, std::size(kClusterOn)>),
        option<&F::samples_label>({"samplesLabel", 0, "SAMPLES_LABEL", false,
                                   "Sample labels, one per sample (default: the matrix header's)"}),
        option<&F::group_labels>(
            {"groupLabels", 0, "GROUP_LABELS", false,
             "Group labels, one per group or cluster (default: the matrix header's, or cluster_1 to cluster_K)"}),
        option<&F::ref_point_label>(
            {"refPointLabel", 0, "REF_POINT_LABEL", false,
             "Label of the reference point's tick (default: the matrix header's TSS, TES or center)"}),
        option<&F::start_label>({"startLabel", 0, "START_LABEL", false,
                                 "Scale-regions matrices: label of the tick at the region body's start"}),
        option<&F::end_label>({"endLabel", 0, "END_LABEL", false,
                               "Scale-regions matrices: label of the tick at the region body's end"}),
        option<&F::panel_width>({"panelWidth", 0, "PANEL_WIDTH", false, "Width of each panel (cm)"},
                                positive_number),
        option<&F::dpi>({"dpi", 0, "DPI", false,
                         "Resolution of a PNG, and of the heat-map images in an SVG or PDF (dots per inch)"},
                        positive_number),
        option<&F::plot_title>({"plotTitle", 0, "PLOT_TITLE", false, "Title above the figure"}),
        option<&F::average_type>({"averageType", 0, "AVERAGE_TYPE", false,
                                  "Statistic of each bin across the rows of a profile: mean, median"},
                                 one_of<kAverageTypes, std::size(kAverageTypes)>),
        option<&F::band>({"band", 0, "BAND", false,
                          "Band around each profile line: none, se (standard error), std (standard deviation)"},
                         one_of<kBands, std::size(kBands)>),
        option<&F::plot_type>({"plotType", 0, "PLOT_TYPE", false,
                               "How a profile is drawn: lines, fill (the area between each line and zero shaded), or heatmap (a "
                               "small heat map with one row per line and a colour scale; no --band)"},
                              one_of<kPlotTypes, std::size(kPlotTypes)>),
        option<&F::colors>({"colors", 0, "COLORS", false,
                            "Colours of the profile lines, one per line: names (black, red, blue, ...) or #rrggbb "
                            "(default: a palette)"}),
        option<&F::y_min>({"yMin", 0, "Y_MIN", false,
                           "Bottom of the profiles' value axis: one for every panel or one per panel (default: "
                           "from the lines)"},
                          finite_number),
        option<&F::y_max>({"yMax", 0, "Y_MAX", false,
                           "Top of the profiles' value axis: one for every panel or one per panel (default: from "
                           "the lines)"},
                          finite_number),
        option<&F::y_axis>({"yAxis", 0, "Y_AXIS", false,
                            "Value range of the profile panels: panel (each its own), shared (one for all)"},
                           one_of<kYAxes, std::size(kYAxes)>),
        option<&F::legend_location>(
            {"legendLocation", 0, "LEGEND_LOCATION", false,
             "Where the profile legend goes: beside (right of the panels), upper-right, upper-left, lower-right, "
             "lower-left (in the first panel), none"},
            one_of<kLegendLocations, std::size(kLegendLocations)>),
        option<&F::x_axis_label>({"xAxisLabel", 0, "X_AXIS_LABEL", false, "Label under the panels' x axes"}),
        option<&F::y_axis_label>(
            {"yAxisLabel", 0, "Y_AXIS_LABEL", false, "Label of the profiles' value axis, left of the first panel"}),
        option<&F::number_of_processors>(
            {"numberOfProcessors", 'p', "NUMBER_OF_PROCESSORS", false, "Number of processors to use"}),
    };
    return rows;
}

std::vector<OptionSpec> heatmap_options() {
    using H = Heatmap;
    const SharedRows& s = shared_rows();
    return joined({
        s.files_and_selection(),
        {option<&H::sort_regions>({"sortRegions", 0, "SORT_REGIONS", false,
                                  "Order of the rows within each group: keep (the matrix order), descend, ascend"},
                                 one_of<kSortOrders, std::size(kSortOrders)>),
        option<&H::sort_using>(
            {"sortUsing", 0, "SORT_USING", false,
             "Statistic of each row that sorts it: mean, median, max, min, sum, region_length (the region's end "
             "less its start)"},
            one_of<kSortStatistics, std::size(kSortStatistics)>)},
        s.clustering(),
        {option<&H::color_map>({"colorMap", 0, "COLOR_MAP", false,
                               "Colour map of the heat maps, one for every sample or one per sample: viridis, magma, "
                               "inferno, plasma, cividis, greys, reds, blues, blue_white_red; a name ending in _r "
                               "reverses it [default: viridis]"}),
        option<&H::color_list>({"colorList", 0, "COLOR_LIST", false,
                                "Two or more colours (names or #rrggbb) that make the heat maps' colour map, from low "
                                "to high, in place of --colorMap"}),
        option<&H::shared_scale>({"sharedScale", 0, "", false,
                                  "One colour scale for every sample: the default limits from the percentiles of all "
                                  "values drawn"}),
        option<&H::box_around_heatmaps>({"boxAroundHeatmaps", 0, "BOX_AROUND_HEATMAPS", false,
                                         "A frame around each heat map: yes, no"},
                                        one_of<kYesNo, std::size(kYesNo)>),
        option<&H::what_to_show>({"whatToShow", 0, "WHAT_TO_SHOW", false,
                                  "The parts drawn, any of: profile, heatmap, colorbar (default: all three)"},
                                 one_of<kParts, std::size(kParts)>),
        option<&H::z_min>({"zMin", 0, "Z_MIN", false,
                           "Value at the bottom of the colour scale: one for every sample or one per sample "
                           "(default: the 1st percentile of each sample's values)"},
                          finite_number),
        option<&H::z_max>({"zMax", 0, "Z_MAX", false,
                           "Value at the top of the colour scale: one for every sample or one per sample (default: "
                           "the 99th percentile of each sample's values)"},
                          finite_number),
        option<&H::missing_data_color>(
            {"missingDataColor", 0, "MISSING_DATA_COLOR", false, "Colour of missing values, as #rrggbb"})},
        s.labels_and_width(),
        {option<&H::panel_height>({"panelHeight", 0, "PANEL_HEIGHT", false, "Height of each heat-map panel (cm)"},
                                 positive_number),
        option<&H::profile_height>(
            {"profileHeight", 0, "PROFILE_HEIGHT", false, "Height of the profile above each heat-map panel (cm)"},
            positive_number)},
        s.profile_look(),
        {option<&H::per_group>({"perGroup", 0, "", false,
                               "One column per group, each with a profile of one line per sample over the samples' "
                               "heat maps stacked, instead of one column per sample"}),
        option<&H::num_plots_per_row>({"numPlotsPerRow", 0, "NUM_PLOTS_PER_ROW", false,
                                       "Columns in a row before the next row starts (default: all in one row)"},
                                      at_least_one),
        s.threads},
    });
}

std::vector<OptionSpec> profile_options() {
    using P = Profile;
    const SharedRows& s = shared_rows();
    return joined({
        s.files_and_selection(),
        s.clustering(),
        s.labels_and_width(),
        {option<&P::panel_height>({"panelHeight", 0, "PANEL_HEIGHT", false, "Height of each profile panel (cm)"},
                                 positive_number)},
        s.profile_look(),
        {option<&P::per_group>({"perGroup", 0, "", false,
                               "One panel per group with one line per sample, instead of one panel per sample with "
                               "one line per group"}),
        option<&P::num_plots_per_row>({"numPlotsPerRow", 0, "NUM_PLOTS_PER_ROW", false,
                                       "Panels in a row before the next row starts (default: all in one row)"},
                                      at_least_one),
        s.threads},
    });
}

}  // namespace

const CommandSpec& heatmap_command() {
    static const std::vector<OptionSpec> options = heatmap_options();
    static const CommandSpec command{"", "heatmap",
                                     "Draw a matrix file as heat maps, one per sample, under their average profiles",
                                     kFigureTips, options, start_with<Heatmap>};
    return command;
}

const CommandSpec& profile_command() {
    static const std::vector<OptionSpec> options = profile_options();
    static const CommandSpec command{"", "profile", "Draw the average profiles of a matrix file", kFigureTips,
                                     options, start_with<Profile>};
    return command;
}

}  // namespace binscope::cli
