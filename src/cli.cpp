// cli.cpp - the command grammar: one table of options drives both the
// parser and the help text.
#include "cli.hpp"

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <variant>

#include "error.hpp"
#include "text_util.hpp"

namespace binscope {

namespace {

constexpr std::string_view kProgram = "binscope";
constexpr std::string_view kVersion = "0.1.0";
constexpr std::string_view kAbout = "Binned score matrices of bigWig signal over BED/GTF regions";
constexpr std::size_t kHelpWidth = 100;
constexpr std::string_view kHelpIndent = "          ";

enum class Command { ReferencePoint, ScaleRegions, Heatmap, Profile };

struct CommandSpec {
    Command command;
    std::string_view name;
    std::string_view about;
    bool draws;  // a figure subcommand (reads a matrix file) rather than a matrix one
};

// In help order, each at the index of its Command.
constexpr CommandSpec kCommands[] = {
    {Command::ReferencePoint, "reference-point",
     "Compute the score matrix relative to a reference point (TSS, TES, or center)", false},
    {Command::ScaleRegions, "scale-regions", "Scale all regions to the same length and compute the score matrix",
     false},
    {Command::Heatmap, "heatmap", "Draw a matrix file as heat maps, one per sample, under their average profiles",
     true},
    {Command::Profile, "profile", "Draw the average profiles of a matrix file", true},
};

// Where an option's values land. The field's type decides the grammar:
// bool is a flag, a list takes one or more values, anything else exactly
// one. The record type decides which subcommands accept the option.
using Field = std::variant<bool CommonArgs::*, std::int64_t CommonArgs::*, std::size_t CommonArgs::*,
                           double CommonArgs::*, std::optional<double> CommonArgs::*, std::string CommonArgs::*,
                           std::optional<std::string> CommonArgs::*, std::vector<std::string> CommonArgs::*,
                           std::optional<std::vector<std::string>> CommonArgs::*, std::string ReferencePoint::*,
                           std::int64_t ScaleRegions::*, std::string FigureArgs::*, std::size_t FigureArgs::*,
                           double FigureArgs::*, std::optional<std::size_t> FigureArgs::*,
                           std::optional<std::string> FigureArgs::*, std::optional<std::vector<std::size_t>> FigureArgs::*,
                           std::optional<std::vector<std::string>> FigureArgs::*,
                           std::optional<std::string> Heatmap::*, std::string Heatmap::*,
                           std::optional<std::vector<double>> Heatmap::*, double Heatmap::*, double Profile::*,
                           bool Profile::*>;

// A check of one value beyond its type; its error message follows
// "invalid value '...' for '...': ".
using ValueCheck = Status (*)(std::string_view value);

struct OptionSpec {
    std::string_view long_name;
    char short_name;  // '\0' when the option has none
    std::string_view value_name;
    bool required;
    std::string_view help;
    Field field;
    ValueCheck check = nullptr;
};

// ---- checks of the figure options' values ---------------------------------

// The words a value may be, for a message "expected a, b or c".
template <const std::string_view* Words, std::size_t N>
Status one_of(std::string_view value) {
    for (std::size_t i = 0; i < N; ++i)
        if (value == Words[i]) return {};
    std::string expected;
    for (std::size_t i = 0; i < N; ++i)
        expected += fmt::format("{}{}", i == 0 ? "" : i + 1 == N ? " or " : ", ", Words[i]);
    return fail("expected " + expected);
}

constexpr std::string_view kSortOrders[] = {"keep", "descend", "ascend"};
constexpr std::string_view kSortStatistics[] = {"mean", "median", "max", "min", "sum"};
constexpr std::string_view kAverageTypes[] = {"mean", "median"};
constexpr std::string_view kBands[] = {"none", "se", "std"};

Result<double> parse_float(std::string_view text);

Status figure_path(std::string_view value) {
    if (figure_format_of_path(value)) return {};
    return fail("the extension must be .png, .svg or .pdf (any case)");
}

Status at_least_one(std::string_view value) {
    if (value.find_first_not_of("+0") == std::string_view::npos) return fail("must be at least 1");
    return {};
}

Status positive_number(std::string_view value) {
    const auto number = parse_float(value);
    if (number && std::isfinite(*number) && *number > 0) return {};
    return fail("must be a number above 0");
}

Status finite_number(std::string_view value) {
    const auto number = parse_float(value);
    if (number && std::isfinite(*number)) return {};
    return fail("must be a finite number");
}

// Every option of both subcommands, in help order: the common options
// first, then those of one subcommand. Defaults come from the records.
const OptionSpec kOptions[] = {
    {"scoreFileName", 'S', "SCORE_FILE_NAME", true, "Score (bigWig) file(s)", &CommonArgs::score_file_name},
    {"regionsFileName", 'R', "REGIONS_FILE_NAME", true, "Region (BED/GTF) file(s)",
     &CommonArgs::regions_file_name},
    {"outFileName", 'o', "OUT_FILE_NAME", true, "Output gzipped matrix file (consumed by drawTiles/drawCurves)",
     &CommonArgs::out_file_name},
    {"outFileNameMatrix", 0, "OUT_FILE_NAME_MATRIX", false, "Optional plain-text matrix output",
     &CommonArgs::out_file_name_matrix},
    {"outFileSortedRegions", 0, "OUT_FILE_SORTED_REGIONS", false, "Optional sorted regions BED output",
     &CommonArgs::out_file_sorted_regions},
    {"beforeRegionStartLength", 'b', "BEFORE_REGION_START_LENGTH", false,
     "Distance upstream of the reference point (bp)", &CommonArgs::before_region_start_length},
    {"afterRegionStartLength", 'a', "AFTER_REGION_START_LENGTH", false,
     "Distance downstream of the reference point or end (bp)", &CommonArgs::after_region_start_length},
    {"binSize", 0, "BIN_SIZE", false, "Bin size in bp", &CommonArgs::bin_size},
    {"averageTypeBins", 0, "AVERAGE_TYPE_BINS", false, "Aggregation type per bin: mean, median, min, max, sum, std",
     &CommonArgs::average_type_bins},
    {"skipZeros", 0, "", false, "Skip rows whose all values are zero", &CommonArgs::skip_zeros},
    {"missingDataAsZero", 0, "", false, "Treat missing values as zero", &CommonArgs::missing_data_as_zero},
    {"minThreshold", 0, "MIN_THRESHOLD", false, "Discard rows whose any value is below this threshold",
     &CommonArgs::min_threshold},
    {"maxThreshold", 0, "MAX_THRESHOLD", false, "Discard rows whose any value is above this threshold",
     &CommonArgs::max_threshold},
    {"scale", 0, "SCALE", false, "Multiply matrix values by this scalar", &CommonArgs::scale},
    {"nanAfterEnd", 0, "", false, "Use NaN past the end of regions instead of bigwig values",
     &CommonArgs::nan_after_end},
    {"metagene", 0, "", false, "Treat the BED file as containing transcripts with multi-exon metagene mode",
     &CommonArgs::metagene},
    {"blackListFileName", 0, "BLACK_LIST_FILE_NAME", false,
     "Optional BED file of blacklisted intervals. Regions overlapping any blacklisted interval are dropped before "
     "the matrix is computed",
     &CommonArgs::black_list_file_name},
    {"samplesLabel", 0, "SAMPLES_LABEL", false, "Per-sample labels (default: filenames stem)",
     &CommonArgs::samples_label},
    {"smartLabels", 0, "", false,
     "peakloom compatibility: use clean filename stems as sample labels. Currently a no-op because filename stems "
     "are used by default",
     &CommonArgs::smart_labels},
    {"numberOfProcessors", 'p', "NUMBER_OF_PROCESSORS", false, "Number of processors to use",
     &CommonArgs::number_of_processors},
    {"sortRegions", 0, "SORT_REGIONS", false, "Sort regions: no, ascend, descend, keep", &CommonArgs::sort_regions},
    {"sortUsing", 0, "SORT_USING", false, "Sort using statistic: mean, median, max, min, sum, region_length",
     &CommonArgs::sort_using},
    {"verbose", 0, "", false, "Verbose logging", &CommonArgs::verbose},
    {"quiet", 'q', "", false, "Quiet mode", &CommonArgs::quiet},
    {"referencePoint", 0, "REFERENCE_POINT", false, "Reference point: TSS, TES, or center",
     &ReferencePoint::reference_point},
    {"regionBodyLength", 'm', "REGION_BODY_LENGTH", false, "Length in bases to which the body is scaled",
     &ScaleRegions::region_body_length},
    {"unscaled5prime", 0, "UNSCALED_5_PRIME", false, "Length to leave un-scaled at the 5' end",
     &ScaleRegions::unscaled_5_prime},
    {"unscaled3prime", 0, "UNSCALED_3_PRIME", false, "Length to leave un-scaled at the 3' end",
     &ScaleRegions::unscaled_3_prime},
    // The figure subcommands.
    {"matrixFile", 'm', "MATRIX_FILE", true, "Gzipped matrix file, as written by reference-point or scale-regions",
     &FigureArgs::matrix_file},
    {"outFileName", 'o', "OUT_FILE_NAME", true,
     "Figure file; its extension gives the format: .png, .svg or .pdf (any case)", &FigureArgs::out_file_name,
     figure_path},
    {"outFileSortedRegions", 0, "OUT_FILE_SORTED_REGIONS", false,
     "Optional BED12 file of the regions in drawn order, each with its group or cluster label",
     &Heatmap::out_file_sorted_regions},
    {"sortRegions", 0, "SORT_REGIONS", false, "Order of the rows within each group: keep (the matrix order), "
     "descend, ascend", &Heatmap::sort_regions, one_of<kSortOrders, std::size(kSortOrders)>},
    {"sortUsing", 0, "SORT_USING", false, "Statistic of each row that sorts it: mean, median, max, min, sum",
     &Heatmap::sort_using, one_of<kSortStatistics, std::size(kSortStatistics)>},
    {"sortUsingSamples", 0, "SORT_USING_SAMPLES", false,
     "Samples (numbered from 1) whose columns the rows are sorted and clustered by (default: all)",
     &FigureArgs::sort_using_samples, at_least_one},
    {"kmeans", 0, "KMEANS", false,
     "Cluster the rows into this many clusters by k-means; the clusters replace the groups",
     &FigureArgs::kmeans, at_least_one},
    {"seed", 0, "SEED", false, "Seed of the k-means initialisation: the same seed gives the same clusters",
     &FigureArgs::seed},
    {"colorMap", 0, "COLOR_MAP", false,
     "Colour map of the heat maps: viridis, magma, inferno, plasma, cividis, greys, reds, blues, blue_white_red; "
     "a name ending in _r reverses it",
     &Heatmap::color_map},
    {"zMin", 0, "Z_MIN", false,
     "Value at the bottom of the colour scale: one for every sample or one per sample (default: the 1st "
     "percentile of each sample's values)",
     &Heatmap::z_min, finite_number},
    {"zMax", 0, "Z_MAX", false,
     "Value at the top of the colour scale: one for every sample or one per sample (default: the 99th "
     "percentile of each sample's values)",
     &Heatmap::z_max, finite_number},
    {"missingDataColor", 0, "MISSING_DATA_COLOR", false, "Colour of missing values, as #rrggbb",
     &Heatmap::missing_data_color},
    {"samplesLabel", 0, "SAMPLES_LABEL", false, "Sample labels, one per sample (default: the matrix header's)",
     &FigureArgs::samples_label},
    {"groupLabels", 0, "GROUP_LABELS", false,
     "Group labels, one per group or cluster (default: the matrix header's, or cluster_1 to cluster_K)",
     &FigureArgs::group_labels},
    {"refPointLabel", 0, "REF_POINT_LABEL", false,
     "Label of the reference point's tick (default: the matrix header's TSS, TES or center)",
     &FigureArgs::ref_point_label},
    {"startLabel", 0, "START_LABEL", false, "Scale-regions matrices: label of the tick at the region body's start",
     &FigureArgs::start_label},
    {"endLabel", 0, "END_LABEL", false, "Scale-regions matrices: label of the tick at the region body's end",
     &FigureArgs::end_label},
    {"panelWidth", 0, "PANEL_WIDTH", false, "Width of each panel (cm)", &FigureArgs::panel_width, positive_number},
    {"panelHeight", 0, "PANEL_HEIGHT", false, "Height of each heat-map panel (cm)", &Heatmap::panel_height,
     positive_number},
    {"profileHeight", 0, "PROFILE_HEIGHT", false, "Height of the profile above each heat-map panel (cm)",
     &Heatmap::profile_height, positive_number},
    {"panelHeight", 0, "PANEL_HEIGHT", false, "Height of each profile panel (cm)", &Profile::panel_height,
     positive_number},
    {"dpi", 0, "DPI", false, "Resolution of a PNG, and of the heat-map images in an SVG or PDF (dots per inch)",
     &FigureArgs::dpi, positive_number},
    {"plotTitle", 0, "PLOT_TITLE", false, "Title above the figure", &FigureArgs::plot_title},
    {"averageType", 0, "AVERAGE_TYPE", false, "Statistic of each bin across the rows of a profile: mean, median",
     &FigureArgs::average_type, one_of<kAverageTypes, std::size(kAverageTypes)>},
    {"band", 0, "BAND", false,
     "Band around each profile line: none, se (standard error), std (standard deviation)", &FigureArgs::band,
     one_of<kBands, std::size(kBands)>},
    {"perGroup", 0, "", false, "One panel per group with one line per sample, instead of one panel per sample "
     "with one line per group", &Profile::per_group},
    {"numberOfProcessors", 'p', "NUMBER_OF_PROCESSORS", false, "Number of processors to use",
     &FigureArgs::number_of_processors},
};

template <class T>
constexpr bool kIsList = std::is_same_v<T, std::vector<std::string>> ||
                         std::is_same_v<T, std::optional<std::vector<std::string>>> ||
                         std::is_same_v<T, std::optional<std::vector<std::size_t>>> ||
                         std::is_same_v<T, std::optional<std::vector<double>>>;

bool accepts(const OptionSpec& opt, Command command) {
    return std::visit(
        [command]<class R, class T>(T R::*) {
            if constexpr (std::is_same_v<R, ReferencePoint>) return command == Command::ReferencePoint;
            else if constexpr (std::is_same_v<R, ScaleRegions>) return command == Command::ScaleRegions;
            else if constexpr (std::is_same_v<R, Heatmap>) return command == Command::Heatmap;
            else if constexpr (std::is_same_v<R, Profile>) return command == Command::Profile;
            else if constexpr (std::is_same_v<R, FigureArgs>)
                return command == Command::Heatmap || command == Command::Profile;
            else return command == Command::ReferencePoint || command == Command::ScaleRegions;
        },
        opt.field);
}

bool is_flag(const OptionSpec& opt) {
    return std::visit([]<class R, class T>(T R::*) { return std::is_same_v<T, bool>; }, opt.field);
}

bool is_list(const OptionSpec& opt) {
    return std::visit([]<class R, class T>(T R::*) { return kIsList<T>; }, opt.field);
}

// "--name <VALUE>" (with "..." when it takes several), or "--name" for flags.
std::string display(const OptionSpec& opt) {
    if (is_flag(opt)) return fmt::format("--{}", opt.long_name);
    return fmt::format("--{} <{}>{}", opt.long_name, opt.value_name, is_list(opt) ? "..." : "");
}

// ---- values ---------------------------------------------------------------

// Decimal and exponent notation, "inf", "infinity" and "nan" in any case,
// each with an optional sign. Values beyond the float range become
// infinities (or zero), as the decimal text rounds to them.
Result<double> parse_float(std::string_view text) {
    const auto invalid = fail("invalid float literal");
    std::string_view body = text;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
    bool special = equals_ignore_case(body, "inf") || equals_ignore_case(body, "infinity") ||
                   equals_ignore_case(body, "nan");
    if (!special) {
        std::size_t i = 0;
        std::size_t int_digits = 0, frac_digits = 0;
        while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++int_digits;
        if (i < body.size() && body[i] == '.') {
            ++i;
            while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++frac_digits;
        }
        if (int_digits + frac_digits == 0) return invalid;
        if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
            ++i;
            if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
            std::size_t exp_digits = 0;
            while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++exp_digits;
            if (exp_digits == 0) return invalid;
        }
        if (i != body.size()) return invalid;
    }
    // The text is now known to be plain ASCII without hex or spaces, so
    // strtod (in the "C" locale the program never leaves) reads exactly it.
    const std::string copy(text);
    return std::strtod(copy.c_str(), nullptr);
}

Status store(bool& field, std::string_view) {
    field = true;
    return {};
}

Status store(std::int64_t& field, std::string_view value) {
    auto parsed = parse_integer<std::int64_t>(value, DigitCheck::whole_text_first);
    if (!parsed) return fail(std::move(parsed.error()));
    field = *parsed;
    return {};
}

Status store(std::size_t& field, std::string_view value) {
    auto parsed = parse_integer<std::size_t>(value, DigitCheck::whole_text_first);
    if (!parsed) return fail(std::move(parsed.error()));
    field = *parsed;
    return {};
}

Status store(double& field, std::string_view value) {
    auto parsed = parse_float(value);
    if (!parsed) return fail(std::move(parsed.error()));
    field = *parsed;
    return {};
}

Status store(std::optional<double>& field, std::string_view value) {
    double parsed = 0;
    if (auto ok = store(parsed, value); !ok) return ok;
    field = parsed;
    return {};
}

Status store(std::string& field, std::string_view value) {
    field = value;
    return {};
}

Status store(std::optional<std::string>& field, std::string_view value) {
    field = std::string(value);
    return {};
}

Status store(std::vector<std::string>& field, std::string_view value) {
    field.emplace_back(value);
    return {};
}

Status store(std::optional<std::vector<std::string>>& field, std::string_view value) {
    if (!field) field.emplace();
    field->emplace_back(value);
    return {};
}

Status store(std::optional<std::size_t>& field, std::string_view value) {
    std::size_t parsed = 0;
    if (auto ok = store(parsed, value); !ok) return ok;
    field = parsed;
    return {};
}

// One more element of a list of numbers.
template <class T>
Status store(std::optional<std::vector<T>>& field, std::string_view value) {
    T parsed{};
    if (auto ok = store(parsed, value); !ok) return ok;
    if (!field) field.emplace();
    field->push_back(parsed);
    return {};
}

// The record that holds fields of type R during a parse.
template <class R>
R& record_for(Cli& cli) {
    if constexpr (std::is_same_v<R, CommonArgs>)
        return std::visit(
            [](auto& sub) -> CommonArgs& {
                if constexpr (requires { sub.common; }) return sub.common;
                else throw std::logic_error("a matrix option stored for a figure subcommand");
            },
            cli.command);
    else if constexpr (std::is_same_v<R, FigureArgs>)
        return std::visit(
            [](auto& sub) -> FigureArgs& {
                if constexpr (requires { sub.figure; }) return sub.figure;
                else throw std::logic_error("a figure option stored for a matrix subcommand");
            },
            cli.command);
    else
        return std::get<R>(cli.command);
}

Status store_value(const OptionSpec& opt, Cli& cli, std::string_view value) {
    return std::visit([&]<class R, class T>(T R::*member) { return store(record_for<R>(cli).*member, value); },
                      opt.field);
}

// The help annotation of an option's default, formatted from the default
// record; nothing for flags, lists, optional and required options.
std::optional<std::string> default_text(const OptionSpec& opt) {
    if (opt.required) return std::nullopt;
    static const ReferencePoint reference_defaults;
    static const ScaleRegions scale_defaults;
    static const Heatmap heatmap_defaults;
    static const Profile profile_defaults;
    return std::visit(
        []<class R, class T>(T R::*member) -> std::optional<std::string> {
            const R* record = nullptr;
            if constexpr (std::is_same_v<R, CommonArgs>) record = &reference_defaults.common;
            else if constexpr (std::is_same_v<R, ReferencePoint>) record = &reference_defaults;
            else if constexpr (std::is_same_v<R, ScaleRegions>) record = &scale_defaults;
            else if constexpr (std::is_same_v<R, FigureArgs>) record = &heatmap_defaults.figure;
            else if constexpr (std::is_same_v<R, Heatmap>) record = &heatmap_defaults;
            else record = &profile_defaults;
            const T& value = record->*member;
            if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::size_t> ||
                          std::is_same_v<T, double> || std::is_same_v<T, std::string>)
                return fmt::format("{}", value);
            else
                return std::nullopt;
        },
        opt.field);
}

// ---- help and usage -------------------------------------------------------

const CommandSpec& command_spec(Command command) { return kCommands[static_cast<std::size_t>(command)]; }

std::string top_usage() { return fmt::format("Usage: {} <COMMAND>", kProgram); }

std::string command_usage(Command command) {
    std::string usage = fmt::format("Usage: {} {} [OPTIONS]", kProgram, command_spec(command).name);
    for (const auto& opt : kOptions)
        if (opt.required && accepts(opt, command)) {
            usage += ' ';
            usage += display(opt);
        }
    return usage;
}

// Appends the words of `text`, then `annotation` as one unbreakable unit,
// wrapped to kHelpWidth with every line indented.
void append_wrapped(std::string& out, std::string_view text, std::string_view annotation, std::string_view indent) {
    std::vector<std::string_view> words;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t space = text.find(' ', pos);
        if (space == std::string_view::npos) space = text.size();
        if (space > pos) words.push_back(text.substr(pos, space - pos));
        pos = space + 1;
    }
    if (!annotation.empty()) words.push_back(annotation);
    std::size_t line_length = 0;
    for (std::string_view word : words) {
        if (line_length > 0 && line_length + 1 + word.size() > kHelpWidth) {
            out += '\n';
            line_length = 0;
        }
        if (line_length == 0) {
            out += indent;
            line_length = indent.size();
        } else {
            out += ' ';
            ++line_length;
        }
        out += word;
        line_length += word.size();
    }
    out += '\n';
}

std::string top_help() {
    std::string out = fmt::format("{}\n\n{}\n\nCommands:\n", kAbout, top_usage());
    for (const auto& command : kCommands) out += fmt::format("  {:<17}{}\n", command.name, command.about);
    out += fmt::format("  {:<17}{}\n", "help", "Print this message or the help of the given subcommand");
    out += "\nOptions:\n";
    out += "  -h, --help     Print help\n";
    out += "  -V, --version  Print version\n";
    return out;
}

std::string command_help(Command command) {
    std::string out = fmt::format("{}\n\n{}\n\nOptions:\n", command_spec(command).about, command_usage(command));
    for (const auto& opt : kOptions) {
        if (!accepts(opt, command)) continue;
        if (opt.short_name) out += fmt::format("  -{}, {}\n", opt.short_name, display(opt));
        else out += fmt::format("      {}\n", display(opt));
        const auto value = default_text(opt);
        append_wrapped(out, opt.help, value ? fmt::format("[default: {}]", *value) : "", kHelpIndent);
    }
    out += "  -h, --help\n";
    out += fmt::format("{}Print help\n", kHelpIndent);
    return out;
}

ParseExit print(std::string text) { return ParseExit{std::move(text), false, 0}; }

ParseExit usage_error(std::string_view message, std::string_view usage) {
    return ParseExit{fmt::format("error: {}\n\n{}\n\nFor more information, try '--help'.\n", message, usage), true, 2};
}

std::optional<Command> find_command(std::string_view name) {
    for (const auto& command : kCommands)
        if (command.name == name) return command.command;
    return std::nullopt;
}

// ---- the subcommand's options ---------------------------------------------

class CommandParser {
public:
    CommandParser(Command command, std::span<const std::string> tokens) : command_(command), tokens_(tokens) {
        switch (command) {
            case Command::ReferencePoint: cli_.command = ReferencePoint{}; break;
            case Command::ScaleRegions: cli_.command = ScaleRegions{}; break;
            case Command::Heatmap: cli_.command = Heatmap{}; break;
            case Command::Profile: cli_.command = Profile{}; break;
        }
    }

    ParseOutcome parse() {
        while (next_ < tokens_.size()) {
            const std::string_view token = tokens_[next_++];
            std::optional<ParseExit> exit;
            if (token == "--") {
                // Nothing positional exists, so anything after "--" is extra.
                if (next_ < tokens_.size()) return unexpected(tokens_[next_]);
                break;
            }
            if (token.starts_with("--")) exit = long_option(token.substr(2));
            else if (token.size() > 1 && token.front() == '-') exit = short_cluster(token.substr(1));
            else exit = unexpected(token);
            if (exit) return *exit;
        }
        std::string missing;
        for (std::size_t i = 0; i < std::size(kOptions); ++i)
            if (kOptions[i].required && accepts(kOptions[i], command_) && seen_[i] == 0)
                missing += "\n  " + display(kOptions[i]);
        if (!missing.empty())
            return error("the following required arguments were not provided:" + missing);
        return cli_;
    }

private:
    ParseExit error(std::string_view message) const { return usage_error(message, command_usage(command_)); }

    ParseExit unexpected(std::string_view token) const {
        std::string message = fmt::format("unexpected argument '{}' found", token);
        if (token.starts_with("--")) {
            const std::string_view name = token.substr(2);
            // Tips name only the subcommands of the same kind: a matrix
            // option is no tip for a figure and the other way round.
            for (const auto& command : kCommands) {
                if (command.command == command_ || command.draws != command_spec(command_).draws) continue;
                for (const auto& opt : kOptions)
                    if (opt.long_name == name && accepts(opt, command.command))
                        message += fmt::format("\n\n  tip: '--{}' is an option of '{}'", name, command.name);
            }
        }
        return error(message);
    }

    // A token after an option that lacks its value, worth the hint that '='
    // passes it: one that is not an option of this subcommand.
    bool looks_like_value(std::string_view token) const {
        if (token.size() < 2 || token == "--") return false;
        if (token.starts_with("--")) {
            const std::string_view name = token.substr(2, token.find('=') - 2);
            return name != "help" && !find_long(name);
        }
        return token[1] != 'h' && !find_short(token[1]);
    }

    const OptionSpec* find_long(std::string_view name) const {
        for (const auto& opt : kOptions)
            if (opt.long_name == name && accepts(opt, command_)) return &opt;
        return nullptr;
    }

    const OptionSpec* find_short(char name) const {
        for (const auto& opt : kOptions)
            if (opt.short_name == name && accepts(opt, command_)) return &opt;
        return nullptr;
    }

    // `body` is the token without its "--".
    std::optional<ParseExit> long_option(std::string_view body) {
        std::optional<std::string_view> attached;
        std::string_view name = body;
        if (auto eq = body.find('='); eq != std::string_view::npos) {
            attached = body.substr(eq + 1);
            name = body.substr(0, eq);
        }
        if (name == "help") {
            if (attached) return error(fmt::format("unexpected value '{}' for '--help' found; no more were expected", *attached));
            return print(command_help(command_));
        }
        const OptionSpec* opt = find_long(name);
        if (!opt) return unexpected(fmt::format("--{}", name));
        return occurrence(*opt, attached);
    }

    // `body` is the token without its '-': flags, possibly ending in one
    // option that takes the rest of the token (after an optional '=') or
    // the following tokens as its value.
    std::optional<ParseExit> short_cluster(std::string_view body) {
        for (std::size_t i = 0; i < body.size(); ++i) {
            const char c = body[i];
            if (c == 'h') return print(command_help(command_));
            const OptionSpec* opt = find_short(c);
            if (!opt) return unexpected(fmt::format("-{}", c));
            std::string_view rest = body.substr(i + 1);
            if (is_flag(*opt)) {
                if (rest.starts_with('='))
                    return error(fmt::format("unexpected value '{}' for '{}' found; no more were expected",
                                             rest.substr(1), display(*opt)));
                if (auto exit = occurrence(*opt, std::nullopt)) return exit;
                continue;
            }
            if (rest.starts_with('=')) rest.remove_prefix(1);
            else if (rest.empty()) return occurrence(*opt, std::nullopt);
            return occurrence(*opt, rest);
        }
        return std::nullopt;
    }

    // One occurrence of an option, with its attached value if any; without
    // one, a value-taking option takes the following tokens that do not
    // start with '-' (one, or all of them for a list).
    std::optional<ParseExit> occurrence(const OptionSpec& opt, std::optional<std::string_view> attached) {
        const std::size_t index = static_cast<std::size_t>(&opt - kOptions);
        if (seen_[index] > 0 && !is_list(opt))
            return error(fmt::format("the argument '{}' cannot be used multiple times", display(opt)));
        ++seen_[index];
        if (is_flag(opt)) {
            if (attached)
                return error(fmt::format("unexpected value '{}' for '{}' found; no more were expected", *attached,
                                         display(opt)));
            (void)store_value(opt, cli_, {});
            return std::nullopt;
        }
        std::vector<std::string_view> values;
        if (attached) {
            values.push_back(*attached);
        } else {
            while (next_ < tokens_.size() && !tokens_[next_].starts_with('-')) {
                values.push_back(tokens_[next_++]);
                if (!is_list(opt)) break;
            }
        }
        if (values.empty()) {
            std::string message =
                fmt::format("a value is required for '{}' but none was supplied", display(opt));
            if (next_ < tokens_.size() && looks_like_value(tokens_[next_]))
                message += fmt::format("\n\n  tip: to pass '{}' as a value, use '--{}={}'", tokens_[next_],
                                       opt.long_name, tokens_[next_]);
            return error(message);
        }
        for (std::string_view value : values) {
            auto ok = store_value(opt, cli_, value);
            if (ok && opt.check) ok = opt.check(value);
            if (!ok)
                return error(
                    fmt::format("invalid value '{}' for '{}': {}", value, display(opt), ok.error().message()));
        }
        return std::nullopt;
    }

    Command command_;
    std::span<const std::string> tokens_;
    std::size_t next_ = 0;
    Cli cli_;
    std::array<int, std::size(kOptions)> seen_{};
};

// `binscope help [subcommand]`.
ParseOutcome help_command(std::span<const std::string> tokens) {
    if (tokens.empty() || tokens[0] == "help") {
        if (tokens.size() > 1) return usage_error(fmt::format("unexpected argument '{}' found", tokens[1]), top_usage());
        return print(top_help());
    }
    auto command = find_command(tokens[0]);
    if (!command) return usage_error(fmt::format("unrecognized subcommand '{}'", tokens[0]), top_usage());
    if (tokens.size() > 1)
        return usage_error(fmt::format("unexpected argument '{}' found", tokens[1]), top_usage());
    return print(command_help(*command));
}

}  // namespace

ParseOutcome parse_command_line(const std::vector<std::string>& args) {
    if (args.size() <= 1) return ParseExit{top_help(), true, 2};
    const std::span<const std::string> tokens(args.begin() + 1, args.end());
    const std::string_view first = tokens[0];
    const auto version = [] { return print(fmt::format("{} {}\n", kProgram, kVersion)); };
    if (first == "--") {
        // What follows is the subcommand name, taken literally.
        if (tokens.size() == 1)
            return usage_error(fmt::format("'{}' requires a subcommand but one was not provided", kProgram),
                               top_usage());
        auto command = find_command(tokens[1]);
        if (!command) return usage_error(fmt::format("unrecognized subcommand '{}'", tokens[1]), top_usage());
        return CommandParser(*command, tokens.subspan(2)).parse();
    }
    if (first == "--help") return print(top_help());
    if (first == "--version") return version();
    if (first.starts_with("--")) {
        const auto eq = first.find('=');
        const std::string_view name = first.substr(0, eq);
        if (eq != std::string_view::npos && (name == "--help" || name == "--version"))
            return usage_error(fmt::format("unexpected value '{}' for '{}' found; no more were expected",
                                           first.substr(eq + 1), name),
                               top_usage());
        return usage_error(fmt::format("unexpected argument '{}' found", name), top_usage());
    }
    if (first.size() > 1 && first.front() == '-') {
        // The top level has two short flags, -h and -V, and nothing else.
        if (first[1] == 'h') return print(top_help());
        if (first[1] == 'V') return version();
        return usage_error(fmt::format("unexpected argument '-{}' found", first[1]), top_usage());
    }
    if (first == "help") return help_command(tokens.subspan(1));
    auto command = find_command(first);
    if (!command) return usage_error(fmt::format("unrecognized subcommand '{}'", first), top_usage());
    return CommandParser(*command, tokens.subspan(1)).parse();
}

}  // namespace binscope
