// zones_test.cpp - zone layouts of regions in both forms and both strands.
#include <gtest/gtest.h>

#include <limits>
#include <optional>

#include "region/zones.hpp"

namespace binscope {
namespace {

using Blocks = std::vector<Block>;

Region region(Blocks blocks, Strand strand = U'+') {
    Region r;
    r.chrom = "chr1";
    r.blocks = std::move(blocks);
    r.strand = strand;
    return r;
}

Params reference(RefPoint point, std::int64_t up, std::int64_t down, std::int64_t bin) {
    Params p;
    p.referencePoint = point;
    p.beforeRegionStartLength = up;
    p.afterRegionStartLength = down;
    p.binSize = bin;
    return p;
}

Params scaled(std::int64_t up, std::int64_t down, std::int64_t body, std::int64_t u5, std::int64_t u3,
              std::int64_t bin) {
    Params p;
    p.beforeRegionStartLength = up;
    p.afterRegionStartLength = down;
    p.regionBodyLength = body;
    p.unscaled5prime = u5;
    p.unscaled3prime = u3;
    p.binSize = bin;
    return p;
}

std::optional<ZoneLayout> compute_zones(const Region& r, const Params& p) {
    std::optional<ZoneLayout> layout(std::in_place);
    if (!binscope::compute_zones(r, p, *layout)) layout.reset();
    return layout;
}

void expect_zone(const Zone& z, const Blocks& intervals, std::int64_t bins) {
    EXPECT_EQ(z.intervals, intervals);
    EXPECT_EQ(z.bins, bins);
}

TEST(Zones, TssPlusExtendsOrCountsMissingBinsPastTheRegionEnd) {
    Params p = reference(RefPoint::TSS, 1000, 1000, 10);
    auto l = compute_zones(region({{5000, 5335}}), p);
    ASSERT_TRUE(l);
    expect_zone(l->zones[0], {{4000, 5000}}, 100);
    expect_zone(l->zones[1], {{5000, 6000}}, 100);

    p.nanAfterEnd = true;
    l = compute_zones(region({{5000, 5335}}), p);
    expect_zone(l->zones[1], {{5000, 5335}}, 33);
    EXPECT_EQ(l->right_nan_bins, 67);  // 66.5 rounds away from zero
    EXPECT_EQ(l->left_nan_bins, 0);

    l = compute_zones(region({{5000, 5336}}), p);
    expect_zone(l->zones[1], {{5000, 5336}}, 33);
    EXPECT_EQ(l->right_nan_bins, 67);  // 66, plus one to reach 100 bins
}

TEST(Zones, ReferencePointsOnBothStrands) {
    // TSS on minus: P is the last d bases, extended to the left.
    Params p = reference(RefPoint::TSS, 100, 300, 10);
    auto l = compute_zones(region({{1000, 1200}}, U'-'), p);
    expect_zone(l->zones[0], {{900, 1000}, {1000, 1200}}, 30);
    expect_zone(l->zones[1], {{1200, 1300}}, 10);
    p.nanAfterEnd = true;
    l = compute_zones(region({{1000, 1200}}, U'-'), p);
    expect_zone(l->zones[0], {{1000, 1200}}, 20);
    EXPECT_EQ(l->left_nan_bins, 10);

    // TES on plus, metagene blocks: P follows the exons.
    p = reference(RefPoint::TES, 150, 20, 10);
    l = compute_zones(region({{100, 200}, {300, 400}}), p);
    expect_zone(l->zones[0], {{150, 200}, {300, 400}}, 15);
    expect_zone(l->zones[1], {{400, 420}}, 2);
    // TES on minus: flank of d bases on the left, first u bases.
    l = compute_zones(region({{100, 200}, {300, 400}}, U'-'), p);
    expect_zone(l->zones[0], {{80, 100}}, 2);
    expect_zone(l->zones[1], {{100, 200}, {300, 350}}, 15);

    // No upstream: a zone without interval; flanks below 0 stay unclipped.
    p = reference(RefPoint::TSS, 0, 20, 10);
    l = compute_zones(region({{5, 100}}), p);
    expect_zone(l->zones[0], {}, 0);
    p = reference(RefPoint::TSS, 20, 20, 10);
    l = compute_zones(region({{5, 100}}), p);
    expect_zone(l->zones[0], {{-15, 5}}, 2);
}

TEST(Zones, CenterSplitsTheConcatenatedBlocks) {
    Params p = reference(RefPoint::Center, 1, 1, 1);
    auto l = compute_zones(region({{0, 5}}), p);
    expect_zone(l->zones[0], {{1, 2}}, 1);
    expect_zone(l->zones[1], {{2, 3}}, 1);

    // Short parts are extended outwards, or counted as missing bins.
    p = reference(RefPoint::Center, 30, 20, 10);
    l = compute_zones(region({{100, 110}, {200, 210}}, U'-'), p);  // left wants 20, right 30
    expect_zone(l->zones[0], {{90, 100}, {100, 110}}, 2);
    expect_zone(l->zones[1], {{200, 230}}, 3);
    p.nanAfterEnd = true;
    l = compute_zones(region({{100, 110}, {200, 210}}, U'-'), p);
    expect_zone(l->zones[0], {{100, 110}}, 1);
    expect_zone(l->zones[1], {{200, 210}}, 1);
    EXPECT_EQ(l->left_nan_bins, 1);
    EXPECT_EQ(l->right_nan_bins, 2);
    // A part shorter than one bin is emptied.
    l = compute_zones(region({{100, 108}}), p);
    expect_zone(l->zones[0], {}, 0);
}

TEST(Zones, ScaleRegionsForm) {
    Params p = scaled(100, 50, 1000, 20, 30, 10);
    auto l = compute_zones(region({{1000, 2000}}), p);
    ASSERT_EQ(l->zones.size(), 5u);
    expect_zone(l->zones[0], {{900, 1000}}, 10);
    expect_zone(l->zones[1], {{1000, 1020}}, 2);
    expect_zone(l->zones[2], {{1020, 1970}}, 100);
    expect_zone(l->zones[3], {{1970, 2000}}, 3);
    expect_zone(l->zones[4], {{2000, 2050}}, 5);

    // Minus: the downstream flank and the 3' part come first.
    l = compute_zones(region({{1000, 2000}}, U'-'), p);
    expect_zone(l->zones[0], {{950, 1000}}, 5);
    expect_zone(l->zones[1], {{1000, 1030}}, 3);
    expect_zone(l->zones[2], {{1030, 1980}}, 100);
    expect_zone(l->zones[3], {{1980, 2000}}, 2);
    expect_zone(l->zones[4], {{2000, 2100}}, 10);

    // A body shorter than one bin skips the region.
    EXPECT_FALSE(compute_zones(region({{0, 5}}), scaled(0, 0, 1000, 0, 0, 10)));
    EXPECT_FALSE(compute_zones(region({{0, 55}}), p));

    // Body length 0 lays out the region as for TSS.
    p = scaled(100, 50, 0, 0, 0, 10);
    l = compute_zones(region({{1000, 1020}}), p);
    expect_zone(l->zones[0], {{900, 1000}}, 10);
    expect_zone(l->zones[1], {{1000, 1050}}, 5);
}

TEST(Zones, HostileCoordinatesNeitherOverflowNorGoNegative) {
    constexpr auto lo = std::numeric_limits<std::int64_t>::min();
    constexpr auto hi = std::numeric_limits<std::int64_t>::max();
    for (RefPoint point : {RefPoint::TSS, RefPoint::TES, RefPoint::Center}) {
        for (Strand strand : {U'+', U'-'}) {
            for (const Blocks& blocks : {Blocks{{lo, hi}}, Blocks{{lo, lo + 1}}, Blocks{{hi - 1, hi}},
                                         Blocks{{500, 100}}, Blocks{{7, 7}}}) {
                auto l = compute_zones(region(blocks, strand), reference(point, hi / 4, hi / 4, 1000));
                ASSERT_TRUE(l);
                for (const Zone& z : l->zones) {
                    EXPECT_GE(z.bins, 0);
                    for (const Block& iv : z.intervals) EXPECT_LE(iv.start, iv.end);
                }
            }
        }
    }
    // An inverted block holds no base: TSS extends from its start.
    auto l = compute_zones(region({{500, 100}}), reference(RefPoint::TSS, 10, 20, 10));
    expect_zone(l->zones[1], {{500, 520}}, 2);
    EXPECT_TRUE(compute_zones(region({{lo, hi}}), scaled(hi / 4, hi / 4, 1000, 10, 10, 10)));
}

}  // namespace
}  // namespace binscope
