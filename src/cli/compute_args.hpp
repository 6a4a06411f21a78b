// compute_args.hpp - the command-line records of the matrix subcommands,
// `reference-point` and `scale-regions`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace binscope {

// Options shared by both subcommands, in declaration (and help) order.
struct CommonArgs {
    std::vector<std::string> score_file_name;
    std::vector<std::string> regions_file_name;
    std::string out_file_name;
    std::optional<std::string> out_file_name_matrix;
    std::optional<std::string> out_file_sorted_regions;
    std::int64_t before_region_start_length = 500;
    std::int64_t after_region_start_length = 1500;
    std::int64_t bin_size = 10;
    std::string average_type_bins = "mean";
    bool skip_zeros = false;
    bool missing_data_as_zero = false;
    std::optional<double> min_threshold;
    std::optional<double> max_threshold;
    double scale = 1.0;
    bool nan_after_end = false;
    bool metagene = false;
    std::optional<std::string> black_list_file_name;
    std::optional<std::vector<std::string>> samples_label;
    bool smart_labels = false;
    std::size_t number_of_processors = 1;
    std::string sort_regions = "keep";
    std::string sort_using = "mean";
    bool verbose = false;
    bool quiet = false;
    std::optional<std::string> chunk;  // "I/N"
};

struct ReferencePoint {
    CommonArgs common;
    CommonArgs& shared() { return common; }  // where the parser stores the shared options
    std::string reference_point = "TSS";
};

struct ScaleRegions {
    CommonArgs common;
    CommonArgs& shared() { return common; }  // where the parser stores the shared options
    std::int64_t region_body_length = 1000;
    std::int64_t unscaled_5_prime = 0;
    std::int64_t unscaled_3_prime = 0;
};

}  // namespace binscope
