// run.cpp - the process entry and the pipeline of one run, stage after stage.
#include "run.hpp"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <fmt/format.h>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bed_reader.hpp"
#include "bigwig_reader.hpp"
#include "blacklist.hpp"
#include "cli.hpp"
#include "figure_run.hpp"
#include "labels.hpp"
#include "matrix/compute.hpp"
#include "matrix/filter.hpp"
#include "matrix/sort.hpp"
#include "output/matrix.hpp"
#include "output/matrix_values.hpp"
#include "output/sorted_regions.hpp"
#include "params_from_cli.hpp"
#include "progress.hpp"

namespace binscope {

namespace {

void write_text(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

// Every region file into one set, without blacklisted regions.
Result<RegionSet> load_regions(const Params& params) {
    auto region_set = read_regions(params.regionsFileName, params.metagene, params.numberOfProcessors);
    if (!region_set) return fail(std::move(region_set.error()));
    if (region_set->regions.empty()) return fail("No regions parsed from input region file(s).");

    if (params.blackListFileName) {
        auto blacklist = load_blacklist(*params.blackListFileName);
        if (!blacklist) return fail(std::move(blacklist.error()));
        const std::size_t before = region_set->regions.size();
        region_set->regions = filter_regions(*region_set, *blacklist);
        progress(params.quiet, fmt::format("Blacklist ({} intervals): kept {}/{} regions", blacklist->interval_count(),
                                     region_set->regions.size(), before));
        if (region_set->regions.empty()) return fail("All regions filtered by blacklist.");
    }
    progress(params.quiet, fmt::format("Parsed {} region(s) in {} group(s)", region_set->regions.size(),
                                 region_set->groups.size()));
    return region_set;
}

// Every score file opened once, with its chromosome table and label.
Result<std::vector<Sample>> open_samples(const Params& params) {
    std::vector<ChromLengthTable> tables;
    tables.reserve(params.scoreFileName.size());
    for (const auto& path : params.scoreFileName) {
        auto table = open_chrom_table(path);
        if (!table) return fail(std::move(table.error()));
        tables.push_back(std::move(*table));
    }
    const auto labels = label_samples(params.scoreFileName, params.samplesLabel);
    std::vector<Sample> samples;
    samples.reserve(params.scoreFileName.size());
    for (std::size_t i = 0; i < params.scoreFileName.size(); ++i)
        samples.push_back(Sample{params.scoreFileName[i], i < labels.size() ? labels[i] : std::string(),
                                 std::move(tables[i])});
    return samples;
}

// The matrix file, then the optional values and regions files.
Status write_outputs(const Matrix& matrix, const Params& params) {
    if (auto written = write_matrix_file(params.outFileName, matrix, matrix.sample_labels, params); !written)
        return written;
    if (params.outFileNameMatrix)
        if (auto written = write_matrix_values(*params.outFileNameMatrix, matrix, bins_per_sample(params)); !written)
            return written;
    if (params.outFileSortedRegions)
        if (auto written = write_sorted_regions(*params.outFileSortedRegions, matrix); !written) return written;
    return {};
}

// The settings of a figure subcommand; nothing for a matrix subcommand.
std::optional<FigureParams> figure_params(const Cli& cli) {
    if (const auto* heatmap = std::get_if<Heatmap>(&cli.command)) return make_figure_params(*heatmap);
    if (const auto* profile = std::get_if<Profile>(&cli.command)) return make_figure_params(*profile);
    return std::nullopt;
}

}  // namespace

Status run(const Params& params) {
    progress(params.quiet, fmt::format("Loading {} BED file(s) and {} bigWig file(s)", params.regionsFileName.size(),
                                 params.scoreFileName.size()));
    auto region_set = load_regions(params);
    if (!region_set) return fail(std::move(region_set.error()));
    auto samples = open_samples(params);
    if (!samples) return fail(std::move(samples.error()));

    auto built = build_matrix(std::move(*region_set), *samples, params.scoreFileName, params);
    if (!built) return fail(std::move(built.error()));
    Matrix matrix = std::move(*built);
    progress(params.quiet, fmt::format("Built matrix: {} rows x {} cols ({} dropped due to no data)", matrix.rows(),
                                 matrix.cols, matrix.no_data_rows));

    if (params.skipZeros) {
        matrix = skip_zero_rows(std::move(matrix));
        progress(params.quiet, fmt::format("After --skipZeros: {} row(s)", matrix.rows()));
    }
    matrix = sort_rows(std::move(matrix), parse_sort_regions(params.sortRegions), parse_sort_using(params.sortUsing));

    if (auto written = write_outputs(matrix, params); !written) return written;
    progress(params.quiet, fmt::format("Wrote {} ({} rows)", params.outFileName, matrix.rows()));
    return {};
}

int run_main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv, argv + argc);
        auto parsed = parse_command_line(args);
        if (const auto* exit = std::get_if<ParseExit>(&parsed)) {
            write_text(exit->to_stderr ? stderr : stdout, exit->text);
            return exit->status;
        }
        if (auto figure = figure_params(std::get<Cli>(parsed))) {
            if (auto status = run_figure(*figure); !status) {
                write_text(stderr, format_error_report(status.error()));
                return 1;
            }
            return 0;
        }
        auto params = make_params(std::get<Cli>(parsed));
        if (!params) {
            write_text(stderr, format_error_report(params.error()));
            return 1;
        }
        if (auto status = run(*params); !status) {
            write_text(stderr, format_error_report(status.error()));
            return 1;
        }
        return 0;
    } catch (const std::bad_alloc&) {
        // The last resort for inputs whose work exceeds the memory at hand.
        write_text(stderr, format_error_report(Error("Out of memory")));
    } catch (const std::exception& e) {
        write_text(stderr, format_error_report(Error(e.what())));
    }
    return 1;
}

}  // namespace binscope
