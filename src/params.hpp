// params.hpp - the run parameters every stage reads, and their enumerations.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "error.hpp"

namespace binscope {

enum class AverageType { Mean, Median, Min, Max, Sum, Std };
enum class RefPoint { TSS, TES, Center };
enum class SortRegions { No, Ascend, Descend, Keep };
enum class SortUsing { Mean, Median, Max, Min, Sum, RegionLength };

// One part of a run scattered over several jobs: the index-th (from 1) of
// count equal parts of the rows, in region order.
struct Chunk {
    std::size_t index = 1;
    std::size_t count = 1;
};

// One record describing the run; built once from the command line and lent
// read-only to every stage and worker thread. Field names follow the
// option long names.
struct Params {
    std::vector<std::string> scoreFileName;
    std::vector<std::string> regionsFileName;
    std::string outFileName;
    std::optional<std::string> outFileNameMatrix;
    std::optional<std::string> outFileSortedRegions;
    std::optional<std::string> blackListFileName;
    std::optional<std::vector<std::string>> samplesLabel;
    bool smartLabels = false;
    bool metagene = false;
    std::optional<double> minThreshold;
    std::optional<double> maxThreshold;
    std::string sortRegions = "keep";  // as entered
    std::string sortUsing = "mean";    // as entered
    std::int64_t beforeRegionStartLength = 500;
    std::int64_t afterRegionStartLength = 1500;
    std::int64_t regionBodyLength = 0;
    std::int64_t binSize = 10;
    std::int64_t unscaled5prime = 0;
    std::int64_t unscaled3prime = 0;
    double scale = 1.0;
    std::size_t numberOfProcessors = 1;  // at least 1
    bool missingDataAsZero = false;
    bool skipZeros = false;
    bool nanAfterEnd = false;
    bool verbose = false;
    bool quiet = false;
    std::optional<RefPoint> referencePoint;  // absent in scale-regions runs
    AverageType averageTypeBins = AverageType::Mean;
    std::optional<Chunk> chunk;  // absent: every row
};

Result<RefPoint> parse_ref_point(std::string_view text);
Result<AverageType> parse_average_type(std::string_view text);
SortRegions parse_sort_regions(std::string_view text);
SortUsing parse_sort_using(std::string_view text);

// "I/N" with 1 <= I <= N, both decimal.
Result<Chunk> parse_chunk(std::string_view text);

// The rows [first, last) of `rows` that a chunk computes: the parts differ
// in size by one row at most, and together they are every row once.
std::pair<std::size_t, std::size_t> chunk_rows(const Chunk& chunk, std::size_t rows);

// Columns contributed by each sample: the sum of all lengths over binSize.
std::int64_t bins_per_sample(const Params& params);

// Lower-case names as they appear in the matrix header.
std::string_view average_type_name(AverageType type);
std::string_view ref_point_name(RefPoint point);  // "TSS", "TES", "center"

}  // namespace binscope
