// layout_inputs.hpp - regions and the parameters of their zone layouts, each
// built in one call, for the layout, row and matrix tests.
#pragma once

#include <string>
#include <vector>

#include "params.hpp"
#include "region.hpp"

namespace binscope::testing {

inline Region region(std::vector<Block> blocks, Strand strand = U'+', const std::string& chrom = "chr1",
                     GroupIndex group = 0, std::string name = "") {
    return {.chrom = chrom, .blocks = blocks, .name = std::move(name), .score = {}, .group = group, .strand = strand};
}

// A reference-point run: `up` bases before the point, `down` after it.
inline Params reference(RefPoint point, std::int64_t up, std::int64_t down, std::int64_t bin = 10,
                        bool nan_after_end = false) {
    Params p;
    p.beforeRegionStartLength = up;
    p.afterRegionStartLength = down;
    p.binSize = bin;
    p.nanAfterEnd = nan_after_end;
    p.referencePoint = point;
    return p;
}

// A scale-regions run: flanks, body length and unscaled 5' and 3' parts.
inline Params scaled(std::int64_t up, std::int64_t down, std::int64_t body, std::int64_t u5, std::int64_t u3,
                     std::int64_t bin) {
    Params p = reference(RefPoint::TSS, up, down, bin);
    p.referencePoint.reset();
    p.regionBodyLength = body;
    p.unscaled5prime = u5;
    p.unscaled3prime = u3;
    return p;
}

}  // namespace binscope::testing
