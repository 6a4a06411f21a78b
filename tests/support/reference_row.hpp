// reference_row.hpp - the plain per-base reference the product must match:
// the scores of an interval base by base, and one sample's bins for one
// region by their definition (every base of the clipped zones read into
// one array, every bin's statistic taken base by base).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "bigwig/reader.hpp"
#include "bigwig_reader.hpp"
#include "params.hpp"
#include "region.hpp"
#include "region/zones.hpp"

namespace binscope::testing {

// Every bin statistic.
inline constexpr AverageType kAverageTypes[] = {AverageType::Mean, AverageType::Median, AverageType::Min,
                                                AverageType::Max,  AverageType::Sum,    AverageType::Std};

// The scores of [start, end) (start < end) of a chromosome, one per base,
// NaN where no record covers a base: every record painted over the bases
// it covers, in block order. The error is the query's.
Result<std::vector<float>> read_values(BigWigReader& reader, std::string_view chrom, std::uint32_t start,
                                       std::uint32_t end);

// Per-base values of [start, end) in region coordinates (start <= end),
// written into out (end - start floats): NaN below 0, at or past the
// chromosome length, where the file has no value, and everywhere when the
// query fails.
void interval_values(BigWigReader& reader, std::string_view name, std::uint32_t length, std::int64_t start,
                     std::int64_t end, std::span<float> out);

// The bins_per_sample values in column order. Holds the whole array of
// the clipped zones in memory: for small test regions only.
std::vector<float> reference_row(BigWigReader& reader, const Sample& sample, const Region& region,
                                 const ZoneLayout& layout, const Params& params);

}  // namespace binscope::testing
