// region_checks.hpp - what the region fuzzers do with the regions they
// read: check the set's invariants and lay out every region's zones, where
// hostile coordinates meet the bin arithmetic.
#pragma once

#include <cstdlib>

#include "bed_reader.hpp"
#include "params.hpp"
#include "region/zones.hpp"

namespace binscope::fuzz {

inline void check_regions(const RegionSet& set) {
    static const Params layouts[] = {
        [] {
            Params p;
            p.referencePoint = RefPoint::TSS;
            return p;
        }(),
        [] {
            Params p;
            p.referencePoint = RefPoint::Center;
            p.beforeRegionStartLength = 3;
            p.afterRegionStartLength = 0;
            p.binSize = 1;
            return p;
        }(),
        [] {
            Params p;
            p.regionBodyLength = 1000;
            p.unscaled5prime = 200;
            p.unscaled3prime = 100;
            p.nanAfterEnd = true;
            return p;
        }(),
    };
    std::size_t laid_out = 0;
    for (const Region& region : set.regions) {
        if (region.blocks.empty() || region.group >= set.groups.size()) std::abort();
        if (laid_out++ == 32) continue;
        for (const Params& p : layouts) {
            auto layout = compute_zones(region, p);
            if (!layout) continue;
            std::int64_t bins = layout->left_nan_bins + layout->right_nan_bins;
            for (const Zone& z : layout->zones) bins += z.bins;
            if (bins < 0) std::abort();
        }
    }
}

}  // namespace binscope::fuzz
