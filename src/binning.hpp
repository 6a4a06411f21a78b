// binning.hpp - the bins of one sample for one region, reduced from the
// score runs they cover.
#pragma once

#include <cstdint>
#include <span>

#include "region.hpp"
#include "bigwig_reader.hpp"
#include "labels.hpp"
#include "params.hpp"
#include "region/zones.hpp"

namespace binscope {

// The bins_per_sample values of one sample for one region, in column order
// (5' to 3'), written into out. reader is null when the sample's file
// failed to open on this thread.
// Each thread keeps its own buffers across calls; they hold the layout and
// the reader's current block, never the region's bases, so memory does not
// grow with the region's length.
void sample_bins(BigWigReader* reader, const Sample& sample, const Region& region, const ZoneLayout& layout,
                 const Params& params, std::span<float> out);

}  // namespace binscope
