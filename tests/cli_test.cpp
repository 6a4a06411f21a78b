// cli_test.cpp - the command grammar: values, repeated and multi-valued
// options, help and usage errors.
#include "cli.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

namespace binscope {
namespace {

ParseOutcome parse(std::vector<std::string> args) {
    args.insert(args.begin(), "binscope");
    return parse_command_line(args);
}

CommonArgs common_of(const ParseOutcome& outcome) {
    const auto* cli = std::get_if<Cli>(&outcome);
    if (!cli) {
        ADD_FAILURE() << "parse stopped: " << std::get<ParseExit>(outcome).text;
        return {};
    }
    if (const auto* rp = std::get_if<ReferencePoint>(&cli->command)) return rp->common;
    return std::get<ScaleRegions>(cli->command).common;
}

ParseExit exit_of(const ParseOutcome& outcome) {
    if (const auto* exit = std::get_if<ParseExit>(&outcome)) return *exit;
    ADD_FAILURE() << "parse did not stop";
    return {};
}

// The subcommand, its required options and `extra`.
std::vector<std::string> with_required(std::string sub, std::vector<std::string> extra) {
    extra.insert(extra.begin(), {std::move(sub), "-S", "a.bw", "-R", "r.bed", "-o", "m.gz"});
    return extra;
}

// The defaults that the help, the parameter tests and the runs do not show.
TEST(Cli, ReferencePointDefaults) {
    const CommonArgs c = common_of(parse(with_required("reference-point", {})));
    EXPECT_EQ(c.sort_using, "mean");
    EXPECT_FALSE(c.out_file_name_matrix || c.out_file_sorted_regions || c.black_list_file_name ||
                 c.samples_label || c.min_threshold || c.max_threshold);
    EXPECT_FALSE(c.skip_zeros || c.missing_data_as_zero || c.nan_after_end || c.metagene || c.smart_labels ||
                 c.verbose || c.quiet);
}

TEST(Cli, ListsAcrossValuesAndRepeats) {
    const auto outcome =
        parse({"scale-regions", "-S", "a.bw", "b.bw", "-R", "r1.bed", "-R", "r2.bed", "-o", "m.gz", "-m", "2000",
               "--samplesLabel", "x", "--samplesLabel=y", "--scoreFileName=c.bw"});
    const auto& sr = std::get<ScaleRegions>(std::get<Cli>(outcome).command);
    EXPECT_EQ(sr.common.score_file_name, (std::vector<std::string>{"a.bw", "b.bw", "c.bw"}));
    EXPECT_EQ(sr.common.regions_file_name, (std::vector<std::string>{"r1.bed", "r2.bed"}));
    EXPECT_EQ(sr.common.samples_label, (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(std::tuple(sr.region_body_length, sr.unscaled_5_prime, sr.unscaled_3_prime), std::tuple(2000, 0, 0));
}

TEST(Cli, AttachedValuesAndShortClusters) {
    const CommonArgs c = common_of(parse(with_required(
        "reference-point", {"-b500", "-a=+7", "--binSize=0", "-qp", "4", "--minThreshold", "nan",
                            "--maxThreshold=-INF", "--averageTypeBins=", "--outFileNameMatrix=-odd name"})));
    // A bin size of 0 is refused later, not by the grammar.
    EXPECT_EQ(std::tuple(c.before_region_start_length, c.after_region_start_length, c.bin_size, c.quiet,
                         c.number_of_processors, c.average_type_bins, c.out_file_name_matrix),
              std::tuple(500, 7, 0, true, 4u, "", "-odd name"));
    ASSERT_TRUE(c.min_threshold && c.max_threshold);
    EXPECT_TRUE(std::isnan(*c.min_threshold));
    EXPECT_EQ(*c.max_threshold, -INFINITY);
}

TEST(Cli, NumbersInEveryAcceptedNotation) {
    const CommonArgs c = common_of(parse(with_required(
        "reference-point", {"--beforeRegionStartLength=-5", "-a", "+0012", "-p", "18446744073709551615",
                            "--scale", "+.5e-1", "--minThreshold", "1e999", "--maxThreshold", "Infinity"})));
    EXPECT_EQ(std::tuple(c.before_region_start_length, c.after_region_start_length, c.number_of_processors,
                         c.min_threshold, c.max_threshold),
              std::tuple(-5, 12, 18446744073709551615u, INFINITY, INFINITY));
    EXPECT_DOUBLE_EQ(c.scale, 0.05);
}

// Every usage error has the same shape and status; the message names the
// problem.
TEST(Cli, UsageErrors) {
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"frobnicate"}, "unrecognized subcommand 'frobnicate'"},
        {{"--", "reference-point", "--bogus"}, "unexpected argument '--bogus' found"},
        {with_required("reference-point", {"-p", "-1"}), "a value is required for '--numberOfProcessors"},
        {with_required("reference-point", {"--scale", "-1e3"}), "tip: to pass '-1e3' as a value, use '--scale=-1e3'"},
        {with_required("reference-point", {"-p=-1"}), "invalid value '-1' for '--numberOfProcessors "
                                                      "<NUMBER_OF_PROCESSORS>': invalid digit found in string"},
        {with_required("reference-point", {"-p", "1.5"}), "invalid value '1.5'"},
        {with_required("scale-regions", {"--remoteConnections", "0"}),
         "invalid value '0' for '--remoteConnections <REMOTE_CONNECTIONS>': must be at least 1"},
        {with_required("reference-point", {"--binSize", "99999999999999999999x"}), "invalid digit"},
        {with_required("reference-point", {"-b=-99999999999999999999"}), "too small"},
        {with_required("reference-point", {"--scale", "1e"}), "invalid float literal"},
        {with_required("reference-point", {"--scale", "0x10"}), "invalid float literal"},
        {with_required("reference-point", {"--minThreshold", "nan(1)"}), "invalid float literal"},
        {with_required("reference-point", {"--skipZeros", "--skipZeros"}),
         "the argument '--skipZeros' cannot be used multiple times"},
        {with_required("reference-point", {"-qq"}), "'--quiet' cannot be used multiple times"},
        {with_required("reference-point", {"-o", "n.gz"}), "'--outFileName <OUT_FILE_NAME>' cannot be used"},
        {with_required("reference-point", {"--skipZeros=yes"}), "unexpected value 'yes' for '--skipZeros'"},
        {with_required("reference-point", {"-q=1"}), "unexpected value '1' for '--quiet'"},
        {with_required("scale-regions", {"--referencePoint", "TES"}), "unexpected argument '--referencePoint'"},
        {with_required("reference-point", {"--regionBodyLength", "5"}), "unexpected argument '--regionBodyLength'"},
        {with_required("reference-point", {"-m", "5"}), "unexpected argument '-m'"},
        {with_required("reference-point", {"-V"}), "unexpected argument '-V'"},
        {with_required("reference-point", {"--samplesLabel"}), "a value is required for '--samplesLabel"},
        {with_required("reference-point", {"--scoreFileName=b.bw", "c.bw"}), "unexpected argument 'c.bw'"},
        {with_required("reference-point", {"-", "x"}), "unexpected argument '-' found"},
        {with_required("reference-point", {"--", "x"}), "unexpected argument 'x' found"},
        {{"reference-point", "-S", "a.bw", "-R", "r.bed"},
         "the following required arguments were not provided:\n  --outFileName <OUT_FILE_NAME>"},
        {{"scale-regions", "-o", "m.gz"}, "  --scoreFileName <SCORE_FILE_NAME>...\n"
                                          "  --regionsFileName <REGIONS_FILE_NAME>..."},
    };
    for (const auto& c : cases) {
        const ParseExit exit = exit_of(parse(c.args));
        SCOPED_TRACE(testing::PrintToString(c.args));
        EXPECT_EQ(exit.status, 2);
        EXPECT_TRUE(exit.to_stderr);
        EXPECT_TRUE(exit.text.starts_with("error: ")) << exit.text;
        EXPECT_NE(exit.text.find(c.message), std::string::npos) << exit.text;
        EXPECT_NE(exit.text.find("\n\nUsage: binscope"), std::string::npos) << exit.text;
        EXPECT_TRUE(exit.text.ends_with("\n\nFor more information, try '--help'.\n")) << exit.text;
    }
}

// Help in its spellings; the executable tests cover where it goes and with
// which status.
TEST(Cli, HelpSpellings) {
    const ParseExit top = exit_of(parse({"--help"}));
    EXPECT_EQ(exit_of(parse({"help"})).text, top.text);
    EXPECT_EQ(exit_of(parse({"-h"})).text, top.text);
    EXPECT_EQ(exit_of(parse({})).text, top.text);
    // Help wins over missing options and comes from inside a short cluster.
    const ParseExit scale = exit_of(parse({"scale-regions", "--help"}));
    EXPECT_EQ(exit_of(parse({"scale-regions", "-qh"})).text, scale.text);
    EXPECT_EQ(exit_of(parse({"help", "nothing"})).status, 2);
    EXPECT_NE(top.text.find("\n  scale-regions    Scale all regions to the same length"), std::string::npos);
    // The layout of the entries: names, value name, wrapped text, and the
    // default of every kind of field.
    for (const char* entry : {"\n  -S, --scoreFileName <SCORE_FILE_NAME>...\n          Score (bigWig) file(s)\n",
                              "\n      --binSize <BIN_SIZE>\n          Bin size in bp [default: 10]\n",
                              "\n  -q, --quiet\n          Quiet mode\n", " std [default: mean]\n",
                              " scalar [default: 1]\n", "processors to use [default: 1]\n",
                              " interval\n          are dropped before the matrix is computed\n"})
        EXPECT_NE(scale.text.find(entry), std::string::npos) << entry;
    EXPECT_EQ(scale.text.find("referencePoint"), std::string::npos);
}

}  // namespace
}  // namespace binscope

namespace binscope {
namespace {

// The figure subcommands: each accepted form of their options.
TEST(FigureCli, AcceptedForms) {
    const auto heatmap = parse({"heatmap", "-m", "m.gz", "-o", "f.PNG", "--sortRegions", "descend", "--sortUsing",
                                "max", "--sortUsingSamples", "2", "1", "--kmeans=3", "--seed", "42", "--colorMap",
                                "magma_r", "--zMin=-1", "--zMin", "0", "--zMax", "5", "--missingDataColor", "#808080",
                                "--samplesLabel", "a", "b", "--groupLabels", "g", "--refPointLabel", "summit",
                                "--startLabel", "start", "--endLabel=end", "--panelWidth", "2.5", "--panelHeight",
                                "10", "--profileHeight", "3", "--dpi", "300", "--plotTitle", "My title",
                                "--averageType", "median", "--band", "se", "-p", "2", "--outFileSortedRegions", "r.bed",
                                "--outFileNameData", "d.tsv", "--samples", "b", "1", "--groups", "2",
                                "--hclust", "4", "--clusterOn", "clipped", "--perGroup", "--numPlotsPerRow", "2",
                                "--plotType", "heatmap"});
    const auto& h = std::get<Heatmap>(std::get<Cli>(heatmap).command);
    EXPECT_EQ(std::tie(h.per_group, h.num_plots_per_row, h.figure.plot_type),
              std::tuple(true, std::optional<std::size_t>(2), "heatmap"));
    EXPECT_EQ(std::tie(h.figure.matrix_file, h.figure.out_file_name, h.sort_regions, h.sort_using,
                       h.missing_data_color, h.figure.out_file_sorted_regions, h.figure.out_file_name_data),
              std::tuple("m.gz", "f.PNG", "descend", "max", "#808080", "r.bed", "d.tsv"));
    EXPECT_EQ(h.color_map, (std::vector<std::string>{"magma_r"}));
    EXPECT_EQ(std::tie(h.figure.samples, h.figure.groups, h.figure.hclust, h.figure.cluster_on),
              std::tuple(std::vector<std::string>{"b", "1"}, std::vector<std::string>{"2"},
                         std::optional<std::size_t>(4), "clipped"));
    EXPECT_EQ(h.figure.sort_using_samples, (std::vector<std::size_t>{2, 1}));
    EXPECT_EQ(std::tie(h.figure.kmeans, h.figure.seed, h.figure.number_of_processors),
              std::tuple(std::optional<std::size_t>(3), 42u, 2u));
    EXPECT_EQ(h.z_min, (std::vector<double>{-1, 0}));
    EXPECT_EQ(h.z_max, (std::vector<double>{5}));
    EXPECT_EQ(h.figure.samples_label, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(std::tie(h.figure.ref_point_label, h.figure.start_label, h.figure.end_label, h.figure.plot_title,
                       h.figure.average_type, h.figure.band),
              std::tuple("summit", "start", "end", "My title", "median", "se"));
    EXPECT_EQ(std::tie(h.figure.panel_width, h.panel_height, h.profile_height, h.figure.dpi),
              std::tuple(2.5, 10.0, 3.0, 300.0));

    const auto profile = parse({"profile", "--matrixFile=m.gz", "--outFileName", "x/f.v1.Pdf", "--perGroup",
                                "--panelHeight", "6", "--band", "std", "--kmeans", "2", "--outFileSortedRegions", "p.bed",
                                "--plotType", "fill", "--colors", "red", "#00ff00", "--yMin", "0", "--yMax", "5", "6",
                                "--yAxis", "shared", "--legendLocation", "lower-left", "--xAxisLabel", "x",
                                "--yAxisLabel", "y"});
    const auto& p = std::get<Profile>(std::get<Cli>(profile).command);
    EXPECT_EQ(std::tie(p.figure.out_file_name, p.per_group, p.panel_height, p.figure.band, p.figure.kmeans,
                       p.figure.out_file_sorted_regions),
              std::tuple("x/f.v1.Pdf", true, 6.0, "std", std::optional<std::size_t>(2), "p.bed"));
    EXPECT_EQ(std::tie(p.figure.plot_type, p.figure.colors, p.figure.y_min, p.figure.y_max, p.figure.y_axis,
                       p.figure.legend_location, p.figure.x_axis_label, p.figure.y_axis_label),
              std::tuple("fill", std::vector<std::string>{"red", "#00ff00"}, std::vector<double>{0},
                         std::vector<double>{5, 6}, "shared", "lower-left", "x", "y"));
    // Defaults: nothing given is nothing set.
    const auto bare_outcome = parse({"heatmap", "-m", "m", "-o", "f.svg"});
    const auto& bare = std::get<Heatmap>(std::get<Cli>(bare_outcome).command);
    EXPECT_FALSE(bare.figure.kmeans || bare.figure.sort_using_samples || bare.figure.samples_label ||
                 bare.figure.group_labels || bare.figure.ref_point_label || bare.figure.plot_title || bare.z_min ||
                 bare.z_max || bare.figure.out_file_sorted_regions || bare.figure.out_file_name_data ||
                 bare.figure.samples || bare.figure.groups || bare.figure.hclust);
    EXPECT_EQ(bare.figure.cluster_on, "raw");
}

// Each refusal of a figure option: its text, on standard error, with 2.
TEST(FigureCli, Refusals) {
    const auto heatmap = [](std::vector<std::string> extra) {
        extra.insert(extra.begin(), {"heatmap", "-m", "m.gz", "-o", "f.png"});
        return extra;
    };
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"heatmap", "-m", "m.gz", "-o", "f.jpg"},
         "invalid value 'f.jpg' for '--outFileName <OUT_FILE_NAME>': the extension must be .png, .svg or .pdf "
         "(any case)"},
        {{"profile", "-m", "m.gz", "-o", "png"}, "invalid value 'png' for '--outFileName"},
        {{"profile", "-m", "m.gz", "-o", "dir.png/f"}, "invalid value 'dir.png/f' for '--outFileName"},
        {heatmap({"--sortRegions", "no"}),
         "invalid value 'no' for '--sortRegions <SORT_REGIONS>': expected keep, descend or ascend"},
        {heatmap({"--sortUsing", "length"}),
         "invalid value 'length' for '--sortUsing <SORT_USING>': expected mean, median, max, min, sum or region_length"},
        {heatmap({"--whatToShow", "heatmap", "plot"}),
         "invalid value 'plot' for '--whatToShow <WHAT_TO_SHOW>...': expected profile, heatmap or colorbar"},
        {heatmap({"--boxAroundHeatmaps", "true"}),
         "invalid value 'true' for '--boxAroundHeatmaps <BOX_AROUND_HEATMAPS>': expected yes or no"},
        {heatmap({"--averageType", "Mean"}), "'--averageType <AVERAGE_TYPE>': expected mean or median"},
        {heatmap({"--band", "sd"}), "invalid value 'sd' for '--band <BAND>': expected none, se or std"},
        {heatmap({"--kmeans", "0"}), "invalid value '0' for '--kmeans <KMEANS>': must be at least 1"},
        {heatmap({"--kmeans", "two"}), "invalid value 'two' for '--kmeans <KMEANS>': invalid digit found in string"},
        {heatmap({"--sortUsingSamples", "1", "0"}),
         "invalid value '0' for '--sortUsingSamples <SORT_USING_SAMPLES>...': must be at least 1"},
        {heatmap({"--zMin", "nan"}), "invalid value 'nan' for '--zMin <Z_MIN>...': must be a finite number"},
        {heatmap({"--zMax", "1", "x"}), "invalid value 'x' for '--zMax <Z_MAX>...': invalid float literal"},
        {heatmap({"--dpi", "0"}), "invalid value '0' for '--dpi <DPI>': must be a number above 0"},
        {heatmap({"--panelWidth=-1"}), "invalid value '-1' for '--panelWidth <PANEL_WIDTH>': must be a number above 0"},
        {heatmap({"--panelHeight", "inf"}), "'--panelHeight <PANEL_HEIGHT>': must be a number above 0"},
        {{"profile", "-m", "m", "-o", "f.png", "--colorMap", "magma"},
         "unexpected argument '--colorMap' found\n\n  tip: '--colorMap' is an option of 'heatmap'\n\nUsage: "
         "binscope profile [OPTIONS] --matrixFile <MATRIX_FILE> --outFileName <OUT_FILE_NAME>\n"},
        {{"profile", "-m", "m", "-o", "f.png", "--clusterOn", "clip"},
         "invalid value 'clip' for '--clusterOn <CLUSTER_ON>': expected raw or clipped"},
        {heatmap({"--hclust", "0"}), "invalid value '0' for '--hclust <HCLUST>': must be at least 1"},
        {heatmap({"--legendLocation", "top"}),
         "invalid value 'top' for '--legendLocation <LEGEND_LOCATION>': expected beside, upper-right, upper-left, "
         "lower-right, lower-left or none"},
        {heatmap({"--yMax", "inf"}), "invalid value 'inf' for '--yMax <Y_MAX>...': must be a finite number"},
        // A matrix option is no tip for a figure, nor a figure option for a matrix.
        {heatmap({"--binSize", "10"}), "unexpected argument '--binSize' found\n\nUsage: binscope heatmap"},
        {with_required("reference-point", {"--kmeans", "3"}),
         "unexpected argument '--kmeans' found\n\nUsage: binscope reference-point"},
        {heatmap({"-S", "a.bw"}), "unexpected argument '-S' found"},
        {{"heatmap", "-o", "f.png"},
         "the following required arguments were not provided:\n  --matrixFile <MATRIX_FILE>\n\nUsage: binscope "
         "heatmap [OPTIONS] --matrixFile <MATRIX_FILE> --outFileName <OUT_FILE_NAME>\n"},
        {heatmap({"-o", "g.png"}), "the argument '--outFileName <OUT_FILE_NAME>' cannot be used multiple times"},
    };
    for (const auto& [args, message] : cases) {
        const ParseExit exit = exit_of(parse(args));
        SCOPED_TRACE(testing::PrintToString(args));
        EXPECT_EQ(std::tie(exit.status, exit.to_stderr), std::tuple(2, true));
        EXPECT_TRUE(exit.text.starts_with("error: ")) << exit.text;
        EXPECT_NE(exit.text.find(message), std::string::npos) << exit.text;
        EXPECT_TRUE(exit.text.ends_with("\n\nFor more information, try '--help'.\n")) << exit.text;
    }
}

// The figure subcommands in the top help and in their own, with every
// default printed from the records.
TEST(FigureCli, Help) {
    EXPECT_NE(exit_of(parse({"--help"})).text.find(
                  "  scale-regions    Scale all regions to the same length and compute the score matrix\n"
                  "  heatmap          Draw a matrix file as heat maps, one per sample, under their average profiles\n"
                  "  profile          Draw the average profiles of a matrix file\n"
                  "  view             Explore a matrix file in the browser, served from this machine\n"
                  "  matrix           Combine, subset, filter, sort and relabel matrix files without recomputing them\n"
                  "  help             Print"),
              std::string::npos);
    const std::string heatmap = exit_of(parse({"help", "heatmap"})).text;
    EXPECT_EQ(exit_of(parse({"heatmap", "-h"})).text, heatmap);
    EXPECT_TRUE(heatmap.starts_with("Draw a matrix file as heat maps, one per sample, under their average profiles\n\n"
                                    "Usage: binscope heatmap [OPTIONS] --matrixFile <MATRIX_FILE> --outFileName "
                                    "<OUT_FILE_NAME>\n\nOptions:\n  -m, --matrixFile <MATRIX_FILE>\n"));
    const std::string missing_color = "[default: " + ColorSettings{}.missing_color + "]\n";
    for (const char* entry : {"(default:\n          all)\n", "[default: 0]\n", "[default: viridis]\n",
                              missing_color.c_str(), "Width of each panel (cm) [default: 4]\n",
                              "heat-map panel (cm) [default: 20]\n", "heat-map panel (cm) [default: 4]\n",
                              "\n          [default: 150]\n", "mean, median [default: mean]\n",
                              "\n          [default: none]\n", "body's end [default: TES]\n",
                              "\n  -p, --numberOfProcessors <NUMBER_OF_PROCESSORS>\n", "\n      --perGroup\n",
                              "\n      --numPlotsPerRow <NUM_PLOTS_PER_ROW>\n"})
        EXPECT_NE(heatmap.find(entry), std::string::npos) << entry;
    for (const char* absent : {"Height of each profile panel", "scoreFileName"})
        EXPECT_EQ(heatmap.find(absent), std::string::npos) << absent;
    const std::string profile = exit_of(parse({"profile", "--help"})).text;
    for (const char* entry : {"Height of each profile panel (cm) [default: 4]\n", "\n      --perGroup\n",
                              "\n      --kmeans <KMEANS>\n", "\n      --outFileSortedRegions <OUT_FILE_SORTED_REGIONS>\n",
                              "\n      --hclust <HCLUST>\n", "\n      --samples <SAMPLES>...\n"})
        EXPECT_NE(profile.find(entry), std::string::npos) << entry;
    for (const char* absent : {"colorMap", "sortRegions", "profileHeight"})
        EXPECT_EQ(profile.find(absent), std::string::npos) << absent;
}

}  // namespace
}  // namespace binscope
