// matrix_commands.cpp - the option tables of the `matrix` operations, in
// help order.
#include "cli/matrix_commands.hpp"

#include <memory>
#include <vector>

#include "cli/matrix_args.hpp"
#include "cli/value_checks.hpp"

namespace binscope::cli {

namespace {

constexpr std::string_view kStrands[] = {"+", "-", "."};

// The rows every writing operation ends with.
struct OutputRows {
    OptionSpec out_file_name, threads, quiet;
};

const OutputRows& output_rows() {
    using O = MatrixOutputArgs;
    static const OutputRows rows{
        option<&O::out_file_name>({"outFileName", 'o', "OUT_FILE_NAME", true,
                                   "Gzipped matrix file to write (written beside, then renamed into place; it may "
                                   "name an input)"}),
        option<&O::number_of_processors>(
            {"numberOfProcessors", 'p', "NUMBER_OF_PROCESSORS", false, "Number of processors to use"}),
        option<&O::quiet>({"quiet", 'q', "", false, "Quiet mode"}),
    };
    return rows;
}

template <class R>
OptionSpec one_matrix() {
    return option<&R::matrix_file>({"matrixFile", 'm', "MATRIX_FILE", true, "Gzipped matrix file"});
}

template <class R>
std::vector<OptionSpec> with_output(std::vector<OptionSpec> rows) {
    const OutputRows& o = output_rows();
    rows.insert(rows.begin() + 1, o.out_file_name);
    rows.push_back(o.threads);
    rows.push_back(o.quiet);
    return rows;
}

std::vector<OptionSpec> subset_options() {
    using S = MatrixSubset;
    return with_output<S>({
        one_matrix<S>(),
        option<&S::samples>({"samples", 0, "SAMPLES", false,
                             "Samples to keep, in this order: labels, or numbers from 1 (default: all)"}),
        option<&S::groups>({"groups", 0, "GROUPS", false,
                            "Groups to keep, in this order: labels, or numbers from 1 (default: all)"}),
    });
}

std::vector<OptionSpec> filter_options() {
    using F = MatrixFilter;
    return with_output<F>({
        one_matrix<F>(),
        with_lone_dash_value(option<&F::strand>(
            {"strand", 0, "STRAND", false, "Keep the rows of regions on this strand: +, - or ."},
            one_of<kStrands, std::size(kStrands)>)),
        option<&F::min>({"min", 0, "MIN", false, "Drop a row with a value below this (missing values never drop one)"}),
        option<&F::max>({"max", 0, "MAX", false, "Drop a row with a value above this (missing values never drop one)"}),
        option<&F::skip_zeros>({"skipZeros", 0, "", false,
                                "Drop the rows whose values are all zero or missing, as the compute subcommands do"}),
        option<&F::min_threshold>({"minThreshold", 0, "MIN_THRESHOLD", false,
                                   "Drop a row with any value at or below this, as the compute subcommands do"}),
        option<&F::max_threshold>({"maxThreshold", 0, "MAX_THRESHOLD", false,
                                   "Drop a row with any value at or above this, as the compute subcommands do"}),
        option<&F::regions_file_name>({"regionsFileName", 'R', "REGIONS_FILE_NAME", false,
                                       "Keep the rows whose region these BED/GTF files list"}),
    });
}

template <class B>
std::vector<OptionSpec> bind_options(std::string_view help) {
    return with_output<B>({option<&B::matrix_file>({"matrixFile", 'm', "MATRIX_FILE", true, help})});
}

std::vector<OptionSpec> sort_options() {
    using S = MatrixSort;
    return with_output<S>({
        one_matrix<S>(),
        option<&S::sort_regions>({"sortRegions", 0, "SORT_REGIONS", false,
                                  "Sort the rows within each group: descend, ascend, keep, no"}),
        option<&S::sort_using>({"sortUsing", 0, "SORT_USING", false,
                                "Statistic to sort by: mean, median, max, min, sum, region_length"}),
        option<&S::sort_using_samples>({"sortUsingSamples", 0, "SORT_USING_SAMPLES", false,
                                        "Samples (numbered from 1) whose columns the rows are sorted by (default: "
                                        "all)"},
                                       at_least_one),
        option<&S::regions_file_name>({"regionsFileName", 'R', "REGIONS_FILE_NAME", false,
                                       "Order the rows within each group as these BED/GTF files list their regions"}),
        option<&S::sorted_regions>({"sortedRegions", 0, "SORTED_REGIONS", false,
                                    "Take the order and the groups from a sorted-regions BED file (heatmap "
                                    "--outFileSortedRegions, with --kmeans its clusters)"}),
    });
}

std::vector<OptionSpec> relabel_options() {
    using R = MatrixRelabel;
    return with_output<R>({
        one_matrix<R>(),
        option<&R::samples_label>({"samplesLabel", 0, "SAMPLES_LABEL", false, "New sample labels, one per sample"}),
        option<&R::group_labels>({"groupLabels", 0, "GROUP_LABELS", false, "New group labels, one per group"}),
    });
}

const CommandSpec& make(std::string_view name, std::string_view about, const std::vector<OptionSpec>& options,
                        void (*start)(Cli&)) {
    // One subcommand record per name, kept for the process.
    static std::vector<std::unique_ptr<CommandSpec>> specs;
    specs.push_back(std::make_unique<CommandSpec>(CommandSpec{"matrix", name, about, kMatrixTips, options, start}));
    return *specs.back();
}

}  // namespace

const FamilySpec& matrix_family() {
    static const FamilySpec family{"matrix", "Combine, subset, filter, sort and relabel matrix files without "
                                             "recomputing them"};
    return family;
}

const CommandSpec& matrix_info_command() {
    using I = MatrixInfo;
    static const std::vector<OptionSpec> options{
        one_matrix<I>(), option<&I::json>({"json", 0, "", false, "Print JSON instead of text"})};
    static const CommandSpec& command = make(
        "info", "Print a matrix file's rows, columns, samples, groups and run parameters", options, start_with<I>);
    return command;
}

const CommandSpec& matrix_range_command() {
    using R = MatrixRange;
    static const std::vector<OptionSpec> options{
        one_matrix<R>(), option<&R::json>({"json", 0, "", false, "Print JSON instead of a table"}),
        option<&R::number_of_processors>(
            {"numberOfProcessors", 'p', "NUMBER_OF_PROCESSORS", false, "Number of processors to use"})};
    static const CommandSpec& command =
        make("range", "Print each sample's minimum, maximum, mean, missing count and 1st, 50th and 99th percentiles",
             options, start_with<R>);
    return command;
}

const CommandSpec& matrix_subset_command() {
    static const std::vector<OptionSpec> options = subset_options();
    static const CommandSpec& command =
        make("subset", "Keep some samples and groups, in the order given", options, start_with<MatrixSubset>);
    return command;
}

const CommandSpec& matrix_filter_command() {
    static const std::vector<OptionSpec> options = filter_options();
    static const CommandSpec& command =
        make("filter", "Keep the rows that pass every filter given", options, start_with<MatrixFilter>);
    return command;
}

const CommandSpec& matrix_rbind_command() {
    static const std::vector<OptionSpec> options =
        bind_options<MatrixRbind>("Matrix files of the same samples and run parameters, their rows in this order");
    static const CommandSpec& command = make("rbind", "Combine the rows of matrix files, group by group", options,
                                             start_with<MatrixRbind>);
    return command;
}

const CommandSpec& matrix_cbind_command() {
    static const std::vector<OptionSpec> options =
        bind_options<MatrixCbind>("Matrix files of the same regions and bin layout, their samples in this order");
    static const CommandSpec& command = make("cbind", "Combine the samples of matrix files, rows matched by region",
                                             options, start_with<MatrixCbind>);
    return command;
}

const CommandSpec& matrix_sort_command() {
    static const std::vector<OptionSpec> options = sort_options();
    static const CommandSpec& command = make(
        "sort", "Reorder the rows: by a statistic, as region files list them, or as a sorted-regions file groups them",
        options, start_with<MatrixSort>);
    return command;
}

const CommandSpec& matrix_relabel_command() {
    static const std::vector<OptionSpec> options = relabel_options();
    static const CommandSpec& command =
        make("relabel", "Give the samples or groups new labels", options, start_with<MatrixRelabel>);
    return command;
}

}  // namespace binscope::cli
