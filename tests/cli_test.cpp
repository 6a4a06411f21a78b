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
