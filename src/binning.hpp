// binning.hpp - the bins of one sample for one region, reduced from the
// score runs they cover.
#pragma once

#include <cstdint>
#include <span>

#include "bigwig_reader.hpp"
#include "params.hpp"
#include "region.hpp"
#include "region/zones.hpp"

namespace binscope {

// The bins_per_sample values of sample k for one region, in column order
// (5' to 3'), written into out, read through the worker's readers; all
// missing when the sample's file failed to open on this worker.
// Each thread keeps its own buffers across calls; they hold the layout and
// the reader's current block, never the region's bases, so memory does not
// grow with the region's length.
void sample_bins(ReaderCache& readers, std::size_t k, const Sample& sample, const Region& region,
                 const ZoneLayout& layout, const Params& params, std::span<float> out);

}  // namespace binscope
