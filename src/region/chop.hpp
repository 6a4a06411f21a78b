// chop.hpp - taking a number of bases off either end of a block list.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "region.hpp"

namespace binscope {

struct ChopResult {
    std::vector<Block> left;
    std::vector<Block> body;
    std::vector<Block> right;  // genomic order
    std::int64_t pad_left = 0;   // requested bases the left side lacked
    std::int64_t pad_right = 0;  // requested bases the right side lacked
};

// Takes `left` bases off the left end, then `right` bases off what remains
// on the right, following block boundaries, into `out` (whose buffers are
// reused across regions). A block exactly as wide as the remaining request
// goes whole to its piece; empty and inverted blocks count as no bases.
void chop(std::span<const Block> blocks, std::int64_t left, std::int64_t right, ChopResult& out);

}  // namespace binscope
