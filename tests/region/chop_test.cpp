// chop_test.cpp - taking bases off the ends of block lists.
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

TEST(Chop, FollowsBlockBoundariesAndReportsShortfalls) {
    ChopResult r = chop(Blocks{{100, 200}, {300, 400}}, 150, 0);
    EXPECT_EQ(r.left, (Blocks{{100, 200}, {300, 350}}));
    EXPECT_EQ(r.body, (Blocks{{350, 400}}));
    EXPECT_TRUE(r.right.empty());
    EXPECT_EQ(r.pad_left, 0);

    // The left side takes its bases first; the right finds nothing left.
    r = chop(Blocks{{100, 200}}, 150, 30);
    EXPECT_EQ(r.left, (Blocks{{100, 200}}));
    EXPECT_TRUE(r.body.empty());
    EXPECT_TRUE(r.right.empty());
    EXPECT_EQ(r.pad_left, 50);
    EXPECT_EQ(r.pad_right, 30);

    // A block exactly as wide as the request goes whole.
    r = chop(Blocks{{0, 10}}, 10, 0);
    EXPECT_EQ(r.left, (Blocks{{0, 10}}));
    EXPECT_TRUE(r.body.empty());

    // The right piece comes back in genomic order.
    r = chop(Blocks{{0, 10}, {20, 30}, {40, 50}}, 5, 15);
    EXPECT_EQ(r.left, (Blocks{{0, 5}}));
    EXPECT_EQ(r.body, (Blocks{{5, 10}, {20, 25}}));
    EXPECT_EQ(r.right, (Blocks{{25, 30}, {40, 50}}));
    EXPECT_EQ(r.pad_right, 0);
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
