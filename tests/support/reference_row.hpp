// reference_row.hpp - one sample's bins for one region by their plain
// definition: every base of the clipped zones read into one array, and
// every bin's statistic taken base by base. What the product must match.
#pragma once

#include <string_view>
#include <vector>

#include "bigwig/reader.hpp"
#include "bigwig_reader.hpp"
#include "labels.hpp"
#include "params.hpp"
#include "region.hpp"
#include "region/zones.hpp"

namespace binscope::testing {

// Every bin statistic.
inline constexpr AverageType kAverageTypes[] = {AverageType::Mean, AverageType::Median, AverageType::Min,
                                                AverageType::Max,  AverageType::Sum,    AverageType::Std};

// The scores of [start, end) (start < end) of a chromosome, one per base,
// NaN where no record covers a base: the reader's per-base query.
Result<std::vector<float>> read_values(BigWigReader& reader, std::string_view chrom, std::uint32_t start,
                                       std::uint32_t end);

// The bins_per_sample values in column order. Holds the whole array of
// the clipped zones in memory: for small test regions only.
std::vector<float> reference_row(BigWigReader& reader, const Sample& sample, const Region& region,
                                 const ZoneLayout& layout, const Params& params);

}  // namespace binscope::testing
