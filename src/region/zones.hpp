// zones.hpp - which genomic bases feed which bins of a region.
#pragma once

#include <cstdint>
#include <vector>

#include "params.hpp"
#include "region.hpp"
#include "region/chop.hpp"

namespace binscope {

struct Zone {
    std::vector<Block> intervals;  // genomic order; may start below 0
    std::int64_t bins = 0;
};

// Zones in genomic order (both strands) plus missing-value bins placed
// before the first and after the last zone, in genomic order.
struct ZoneLayout {
    std::vector<Zone> zones;
    std::int64_t left_nan_bins = 0;
    std::int64_t right_nan_bins = 0;
};

// The buffers compute_zones reuses from one region to the next; owned by
// one worker.
struct ZoneScratch {
    std::vector<Block> blocks;
    ChopResult chopped;
};

// Refills `layout` (reusing its buffers and scratch's) with the layout of
// one region; false when the region is skipped: its scaled body is shorter
// than one bin, it has no block, or binSize is below 1.
bool compute_zones(const Region& region, const Params& params, ZoneLayout& layout, ZoneScratch& scratch);

// Missing-value bins for a shortfall of `shortfall` bases on a side whose
// requested length is `requested` and whose zone has `zone_bins` bins:
// round(shortfall / bin_size) half away from zero, plus one when the side
// would otherwise stay short of requested / bin_size bins.
std::int64_t missing_bins(std::int64_t shortfall, std::int64_t requested, std::int64_t zone_bins,
                          std::int64_t bin_size);

}  // namespace binscope
