// binning.hpp - per-base values of a region, bin edges and bin statistics.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "bed_reader.hpp"
#include "bigwig_reader.hpp"
#include "labels.hpp"
#include "params.hpp"
#include "region/zones.hpp"

namespace binscope {

// Reusable per-thread buffers, so that per-region work does not allocate
// once they have grown to the largest region.
struct BinScratch {
    std::vector<float> per_base;
    std::vector<float> values;
};

// The statistic of one bin's values (NaN = missing), in single precision.
float aggregate_bin(std::span<const float> values, AverageType type);
float aggregate_bin(std::span<const float> values, AverageType type, std::vector<float>& scratch);

// The bins_per_sample values of one sample for one region, in column order
// (5' to 3'), written into out. reader is null when the sample's file
// failed to open on this thread.
void sample_bins(BigWigReader* reader, const Sample& sample, const Region& region, const ZoneLayout& layout,
                 const Params& params, std::span<float> out, BinScratch& scratch);

}  // namespace binscope
