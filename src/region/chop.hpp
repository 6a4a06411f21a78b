// chop.hpp - taking a number of bases off either end of a block list.
#pragma once

#include <cstdint>
#include <vector>

#include "../bed_reader.hpp"

namespace binscope {

struct ChopResult {
    std::vector<Block> left;
    std::vector<Block> body;
    std::vector<Block> right;  // genomic order
    std::int64_t pad_left = 0;   // requested bases the left side lacked
    std::int64_t pad_right = 0;  // requested bases the right side lacked
};

// Takes `left` bases off the left end, then `right` bases off what remains
// on the right, following block boundaries.
ChopResult chop(const std::vector<Block>& blocks, std::int64_t left, std::int64_t right);

}  // namespace binscope
