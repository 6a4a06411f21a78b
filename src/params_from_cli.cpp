// params_from_cli.cpp - the run parameters from the parsed command line.
#include "params_from_cli.hpp"

#include <fmt/format.h>
#include <limits>

namespace binscope {

namespace {

void copy_common(const CommonArgs& a, Params& p) {
    p.scoreFileName = a.score_file_name;
    p.regionsFileName = a.regions_file_name;
    p.outFileName = a.out_file_name;
    p.outFileNameMatrix = a.out_file_name_matrix;
    p.outFileSortedRegions = a.out_file_sorted_regions;
    p.blackListFileName = a.black_list_file_name;
    p.samplesLabel = a.samples_label;
    p.smartLabels = a.smart_labels;
    p.metagene = a.metagene;
    p.minThreshold = a.min_threshold;
    p.maxThreshold = a.max_threshold;
    p.sortRegions = a.sort_regions;
    p.sortUsing = a.sort_using;
    p.beforeRegionStartLength = a.before_region_start_length;
    p.afterRegionStartLength = a.after_region_start_length;
    p.binSize = a.bin_size;
    p.scale = a.scale;
    p.numberOfProcessors = a.number_of_processors == 0 ? 1 : a.number_of_processors;
    p.missingDataAsZero = a.missing_data_as_zero;
    p.skipZeros = a.skip_zeros;
    p.nanAfterEnd = a.nan_after_end;
    p.verbose = a.verbose;
    p.quiet = a.quiet;
}

// Bin sizes below 1 and negative lengths have no meaningful layout, and the
// sum of the lengths must fit in 64 bits: refused before any file is opened.
Status check_lengths(const Params& p) {
    if (p.binSize < 1)
        return fail(fmt::format("Invalid --binSize: {} (must be at least 1)", p.binSize));
    const std::pair<const char*, std::int64_t> lengths[] = {
        {"--beforeRegionStartLength", p.beforeRegionStartLength},
        {"--afterRegionStartLength", p.afterRegionStartLength},
        {"--regionBodyLength", p.regionBodyLength},
        {"--unscaled5prime", p.unscaled5prime},
        {"--unscaled3prime", p.unscaled3prime},
    };
    std::int64_t sum = 0;
    for (const auto& [name, value] : lengths) {
        if (value < 0) return fail(fmt::format("Invalid {}: {} (must not be negative)", name, value));
        if (__builtin_add_overflow(sum, value, &sum))
            return fail(fmt::format("Invalid {}: {} (the lengths add up to more than {})", name, value,
                                    std::numeric_limits<std::int64_t>::max()));
    }
    return {};
}

// A chunk computes its rows unsorted, whatever sort the run asks for, and
// its header says so: the gathered parts are sorted once, as a whole.
Status apply_chunk(const CommonArgs& a, Params& p) {
    if (!a.chunk) return {};
    auto chunk = parse_chunk(*a.chunk);
    if (!chunk) return fail(fmt::format("Invalid --chunk: {} ({})", *a.chunk, chunk.error().message()));
    p.chunk = *chunk;
    const SortRegions sort = parse_sort_regions(p.sortRegions);
    if (sort == SortRegions::Ascend || sort == SortRegions::Descend) p.sortRegions = "keep";
    return {};
}

}  // namespace

Result<Params> make_params(const Cli& cli) {
    Params p;
    std::string_view average_text;
    if (const auto* rp = std::get_if<ReferencePoint>(&cli.command)) {
        copy_common(rp->common, p);
        auto point = parse_ref_point(rp->reference_point);
        if (!point) return fail(point.error());
        p.referencePoint = *point;
        average_text = rp->common.average_type_bins;
    } else if (const auto* sr = std::get_if<ScaleRegions>(&cli.command)) {
        copy_common(sr->common, p);
        p.regionBodyLength = sr->region_body_length;
        p.unscaled5prime = sr->unscaled_5_prime;
        p.unscaled3prime = sr->unscaled_3_prime;
        average_text = sr->common.average_type_bins;
    } else {
        return fail("A figure subcommand has no matrix run parameters");
    }
    auto average = parse_average_type(average_text);
    if (!average) return fail(average.error());
    p.averageTypeBins = *average;
    if (auto ok = check_lengths(p); !ok) return fail(ok.error());
    const auto* rp = std::get_if<ReferencePoint>(&cli.command);
    if (auto ok = apply_chunk(rp ? rp->common : std::get<ScaleRegions>(cli.command).common, p); !ok)
        return fail(ok.error());
    return p;
}

}  // namespace binscope
