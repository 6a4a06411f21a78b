// chop_test.cpp - inverted and huge blocks at the ends of block lists; the
// zone tests cover the ordinary cuts.
#include <gtest/gtest.h>

#include <limits>

#include "region/chop.hpp"

namespace binscope {
namespace {

using Blocks = std::vector<Block>;

ChopResult chop(const Blocks& blocks, std::int64_t left, std::int64_t right) {
    ChopResult out;
    binscope::chop(blocks, left, right, out);
    return out;
}

TEST(Chop, InvertedAndHugeBlocksHoldNoNegativeWidth) {
    // An inverted block counts as no bases instead of adding to the request.
    ChopResult r = chop(Blocks{{500, 100}, {600, 650}}, 20, 0);
    EXPECT_EQ(r.left, (Blocks{{500, 100}, {600, 620}}));
    EXPECT_EQ(r.pad_left, 0);

    constexpr auto lo = std::numeric_limits<std::int64_t>::min();
    constexpr auto hi = std::numeric_limits<std::int64_t>::max();
    r = chop(Blocks{{lo, hi}}, 10, 10);
    EXPECT_EQ(r.left, (Blocks{{lo, lo + 10}}));
    EXPECT_EQ(r.body, (Blocks{{lo + 10, hi - 10}}));
    EXPECT_EQ(r.right, (Blocks{{hi - 10, hi}}));
    r = chop(Blocks{{lo, hi}}, hi, hi);
    EXPECT_EQ(r.left, (Blocks{{lo, hi}}));
    EXPECT_EQ(r.pad_right, hi);
}

}  // namespace
}  // namespace binscope
