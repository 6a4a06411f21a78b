// reference_row.hpp - one sample's bins for one region by their plain
// definition: every base of the clipped zones read into one array, and
// every bin's statistic taken base by base. What the product must match.
#pragma once

#include <vector>

#include "bigwig_reader.hpp"
#include "labels.hpp"
#include "params.hpp"
#include "region.hpp"
#include "region/zones.hpp"

namespace binscope::testing {

// The bins_per_sample values in column order. Holds the whole array of
// the clipped zones in memory: for small test regions only.
std::vector<float> reference_row(BigWigReader& reader, const Sample& sample, const Region& region,
                                 const ZoneLayout& layout, const Params& params);

}  // namespace binscope::testing
