// run_stages.cpp - the two halves of a run: compute the matrix, write its
// files.
#include "run_stages.hpp"

#include <algorithm>
#include <fmt/format.h>
#include <string>
#include <utility>
#include <vector>

#include "bed_reader.hpp"
#include "bigwig_reader.hpp"
#include "blacklist.hpp"
#include "labels.hpp"
#include "matrix/compute.hpp"
#include "matrix/filter.hpp"
#include "matrix/sort.hpp"
#include "output/matrix.hpp"
#include "output/matrix_values.hpp"
#include "output/sorted_regions.hpp"
#include "progress.hpp"

namespace binscope {

namespace {

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

// The regions of one chunk of the run; the groups stay, so that the
// chunk's rows keep their groups' names.
void keep_chunk(RegionSet& region_set, const Chunk& chunk, bool quiet) {
    auto& regions = region_set.regions;
    const std::size_t total = regions.size();
    const auto [first, last] = chunk_rows(chunk, total);
    regions.erase(regions.begin() + static_cast<std::ptrdiff_t>(last), regions.end());
    regions.erase(regions.begin(), regions.begin() + static_cast<std::ptrdiff_t>(first));
    if (first == last)
        progress(quiet, fmt::format("Chunk {}/{}: none of the {} regions", chunk.index, chunk.count, total));
    else
        progress(quiet, fmt::format("Chunk {}/{}: regions {} to {} of {}", chunk.index, chunk.count, first + 1,
                                    last, total));
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

}  // namespace

Result<Matrix> compute_matrix(const Params& params, const RunControl& control) {
    progress(params.quiet, fmt::format("Loading {} BED file(s) and {} bigWig file(s)", params.regionsFileName.size(),
                                 params.scoreFileName.size()));
    auto region_set = load_regions(params);
    if (!region_set) return fail(std::move(region_set.error()));
    if (params.chunk) keep_chunk(*region_set, *params.chunk, params.quiet);
    auto samples = open_samples(params);
    if (!samples) return fail(std::move(samples.error()));

    auto built = build_matrix(std::move(*region_set), *samples, params.scoreFileName, params, control.cancel);
    if (!built) return fail(std::move(built.error()));
    Matrix matrix = std::move(*built);
    progress(params.quiet, fmt::format("Built matrix: {} rows x {} cols ({} dropped due to no data)", matrix.rows(),
                                 matrix.cols, matrix.no_data_rows));

    if (params.skipZeros) {
        matrix = skip_zero_rows(std::move(matrix));
        progress(params.quiet, fmt::format("After --skipZeros: {} row(s)", matrix.rows()));
    }
    return sort_rows(std::move(matrix), parse_sort_regions(params.sortRegions), parse_sort_using(params.sortUsing));
}

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

}  // namespace binscope
