// zones.hpp - which genomic bases feed which bins of a region.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "../bed_reader.hpp"
#include "../params.hpp"

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

// The layout of one region, or nothing when the region is skipped (its
// scaled body is shorter than one bin).
std::optional<ZoneLayout> compute_zones(const Region& region, const Params& params);

}  // namespace binscope
