// binning.hpp - the bins of one sample for one region, reduced from the
// score runs they cover.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <span>
#include <vector>

#include "bigwig_reader.hpp"
#include "params.hpp"
#include "region.hpp"
#include "region/zones.hpp"

namespace binscope {

// A zone after clipping to the chromosome.
struct ClippedZone {
    std::uint64_t offset = 0;  // first position
    std::uint64_t length = 0;
    std::int64_t bins = 0;
};

// The buffers sample_bins reuses from one row to the next; owned by one
// worker. They hold the layout, never the region's bases, so memory does
// not grow with the region's length.
struct BinScratch {
    std::vector<Stretch> stretches;
    std::vector<ClippedZone> zones;
};

// The stretches of sample's row for region (into scratch.stretches, the
// clipped zones into scratch.zones): the name of the region's chromosome
// in the sample's file and the row's number of positions; nothing when
// the file lacks the chromosome or binSize is below 1.
std::optional<std::pair<std::string, std::uint64_t>> sample_stretches(const Sample& sample, const Region& region,
                                                                      const ZoneLayout& layout, const Params& params,
                                                                      BinScratch& scratch);

// The bins_per_sample values of sample k for one region, in column order
// (5' to 3'), written into out, read through the worker's readers; all
// missing when the sample's file failed to open on this worker.
void sample_bins(ReaderCache& readers, BinScratch& scratch, std::size_t k, const Sample& sample,
                 const Region& region, const ZoneLayout& layout, const Params& params, std::span<float> out);

}  // namespace binscope
