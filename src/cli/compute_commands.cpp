// compute_commands.cpp - the options of `reference-point` and
// `scale-regions`: the shared ones first, then each subcommand's own.
#include "cli/compute_commands.hpp"

#include <vector>

#include "cli/value_checks.hpp"

namespace binscope::cli {

namespace {

std::vector<OptionSpec> common_options() {
    using A = CommonArgs;
    return {
        option<&A::score_file_name>({"scoreFileName", 'S', "SCORE_FILE_NAME", true, "Score (bigWig) file(s)"}),
        option<&A::regions_file_name>({"regionsFileName", 'R', "REGIONS_FILE_NAME", true, "Region (BED/GTF) file(s)"}),
        option<&A::out_file_name>({"outFileName", 'o', "OUT_FILE_NAME", true,
                                   "Output gzipped matrix file (consumed by drawTiles/drawCurves)"}),
        option<&A::out_file_name_matrix>(
            {"outFileNameMatrix", 0, "OUT_FILE_NAME_MATRIX", false, "Optional plain-text matrix output"}),
        option<&A::out_file_sorted_regions>(
            {"outFileSortedRegions", 0, "OUT_FILE_SORTED_REGIONS", false, "Optional sorted regions BED output"}),
        option<&A::before_region_start_length>({"beforeRegionStartLength", 'b', "BEFORE_REGION_START_LENGTH", false,
                                                "Distance upstream of the reference point (bp)"}),
        option<&A::after_region_start_length>({"afterRegionStartLength", 'a', "AFTER_REGION_START_LENGTH", false,
                                               "Distance downstream of the reference point or end (bp)"}),
        option<&A::bin_size>({"binSize", 0, "BIN_SIZE", false, "Bin size in bp"}),
        option<&A::average_type_bins>({"averageTypeBins", 0, "AVERAGE_TYPE_BINS", false,
                                       "Aggregation type per bin: mean, median, min, max, sum, std"}),
        option<&A::skip_zeros>({"skipZeros", 0, "", false, "Skip rows whose all values are zero"}),
        option<&A::missing_data_as_zero>({"missingDataAsZero", 0, "", false, "Treat missing values as zero"}),
        option<&A::min_threshold>(
            {"minThreshold", 0, "MIN_THRESHOLD", false, "Discard rows whose any value is below this threshold"}),
        option<&A::max_threshold>(
            {"maxThreshold", 0, "MAX_THRESHOLD", false, "Discard rows whose any value is above this threshold"}),
        option<&A::scale>({"scale", 0, "SCALE", false, "Multiply matrix values by this scalar"}),
        option<&A::nan_after_end>(
            {"nanAfterEnd", 0, "", false, "Use NaN past the end of regions instead of bigwig values"}),
        option<&A::metagene>(
            {"metagene", 0, "", false, "Treat the BED file as containing transcripts with multi-exon metagene mode"}),
        option<&A::black_list_file_name>(
            {"blackListFileName", 0, "BLACK_LIST_FILE_NAME", false,
             "Optional BED file of blacklisted intervals. Regions overlapping any blacklisted interval are dropped "
             "before the matrix is computed"}),
        option<&A::samples_label>(
            {"samplesLabel", 0, "SAMPLES_LABEL", false, "Per-sample labels (default: filenames stem)"}),
        option<&A::smart_labels>({"smartLabels", 0, "", false,
                                  "peakloom compatibility: use clean filename stems as sample labels. Currently a "
                                  "no-op because filename stems are used by default"}),
        option<&A::number_of_processors>(
            {"numberOfProcessors", 'p', "NUMBER_OF_PROCESSORS", false, "Number of processors to use"}),
        option<&A::sort_regions>(
            {"sortRegions", 0, "SORT_REGIONS", false, "Sort regions: no, ascend, descend, keep"}),
        option<&A::sort_using>({"sortUsing", 0, "SORT_USING", false,
                                "Sort using statistic: mean, median, max, min, sum, region_length"}),
        option<&A::verbose>({"verbose", 0, "", false, "Verbose logging"}),
        option<&A::quiet>({"quiet", 'q', "", false, "Quiet mode"}),
        option<&A::chunk>({"chunk", 0, "CHUNK", false,
                           "Compute and write only the I-th of N equal parts of the rows, given as I/N, in region "
                           "order and unsorted: one job of a run scattered over N ('binscope matrix rbind' gathers "
                           "the parts)"},
                          chunk_value),
    };
}

// The shared options, then the subcommand's own.
std::vector<OptionSpec> with_common(std::vector<OptionSpec> own) {
    std::vector<OptionSpec> all = common_options();
    all.insert(all.end(), own.begin(), own.end());
    return all;
}

}  // namespace

const CommandSpec& reference_point_command() {
    static const std::vector<OptionSpec> options = with_common({
        option<&ReferencePoint::reference_point>(
            {"referencePoint", 0, "REFERENCE_POINT", false, "Reference point: TSS, TES, or center"}),
    });
    static const CommandSpec command{
        "", "reference-point", "Compute the score matrix relative to a reference point (TSS, TES, or center)",
        kComputeTips, options, start_with<ReferencePoint>};
    return command;
}

const CommandSpec& scale_regions_command() {
    using S = ScaleRegions;
    static const std::vector<OptionSpec> options = with_common({
        option<&S::region_body_length>({"regionBodyLength", 'm', "REGION_BODY_LENGTH", false,
                                        "Length in bases to which the body is scaled"}),
        option<&S::unscaled_5_prime>(
            {"unscaled5prime", 0, "UNSCALED_5_PRIME", false, "Length to leave un-scaled at the 5' end"}),
        option<&S::unscaled_3_prime>(
            {"unscaled3prime", 0, "UNSCALED_3_PRIME", false, "Length to leave un-scaled at the 3' end"}),
    });
    static const CommandSpec command{"", "scale-regions",
                                     "Scale all regions to the same length and compute the score matrix",
                                     kComputeTips, options, start_with<ScaleRegions>};
    return command;
}

}  // namespace binscope::cli
