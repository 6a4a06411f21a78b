// zones_test.cpp - zone layouts of regions in both forms and both strands.
#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "region/zones.hpp"
#include "support/layout_inputs.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;
using Blocks = std::vector<Block>;

struct Case {
    const char* what;
    Params params;
    Region region;
    std::vector<Zone> zones;  // none: the region is skipped
    std::int64_t left_nan_bins = 0, right_nan_bins = 0;
};

TEST(Zones, Layouts) {
    using enum RefPoint;
    const Case cases[] = {
        {"TSS extends past the region end", reference(TSS, 1000, 1000, 10), region({{5000, 5335}}),
         {{{{4000, 5000}}, 100}, {{{5000, 6000}}, 100}}},
        // 66.5 missing bins round away from zero; 66 get one more to reach 100.
        {"TSS counts missing bins", reference(TSS, 1000, 1000, 10, true), region({{5000, 5335}}),
         {{{{4000, 5000}}, 100}, {{{5000, 5335}}, 33}}, 0, 67},
        {"TSS tops missing bins up", reference(TSS, 1000, 1000, 10, true), region({{5000, 5336}}),
         {{{{4000, 5000}}, 100}, {{{5000, 5336}}, 33}}, 0, 67},
        {"missing bins round half away from zero", reference(TSS, 1000, 1005, 10, true), region({{5000, 5330}}),
         {{{{4000, 5000}}, 100}, {{{5000, 5330}}, 33}}, 0, 68},
        {"TSS on minus: the last bases, extended to the left", reference(TSS, 100, 300, 10), region({{1000, 1200}}, U'-'),
         {{{{900, 1000}, {1000, 1200}}, 30}, {{{1200, 1300}}, 10}}},
        {"TSS on minus counts missing bins", reference(TSS, 100, 300, 10, true), region({{1000, 1200}}, U'-'),
         {{{{1000, 1200}}, 20}, {{{1200, 1300}}, 10}}, 10, 0},
        {"TES follows the blocks", reference(TES, 150, 20, 10), region({{100, 200}, {300, 400}}),
         {{{{150, 200}, {300, 400}}, 15}, {{{400, 420}}, 2}}},
        {"TES on minus", reference(TES, 150, 20, 10), region({{100, 200}, {300, 400}}, U'-'),
         {{{{80, 100}}, 2}, {{{100, 200}, {300, 350}}, 15}}},
        {"no upstream", reference(TSS, 0, 20, 10), region({{5, 100}}), {{{}, 0}, {{{5, 25}}, 2}}},
        {"flanks below 0 stay unclipped", reference(TSS, 20, 20, 10), region({{5, 100}}),
         {{{{-15, 5}}, 2}, {{{5, 25}}, 2}}},
        {"an inverted block holds no base", reference(TSS, 10, 20, 10), region({{500, 100}}),
         {{{{490, 500}}, 1}, {{{500, 520}}, 2}}},
        {"center splits the blocks", reference(Center, 1, 1, 1), region({{0, 5}}), {{{{1, 2}}, 1}, {{{2, 3}}, 1}}},
        {"center extends short parts outwards", reference(Center, 30, 20, 10), region({{100, 110}, {200, 210}}, U'-'),
         {{{{90, 100}, {100, 110}}, 2}, {{{200, 230}}, 3}}},
        {"center counts missing bins", reference(Center, 30, 20, 10, true), region({{100, 110}, {200, 210}}, U'-'),
         {{{{100, 110}}, 1}, {{{200, 210}}, 1}}, 1, 2},
        {"center empties parts shorter than a bin", reference(Center, 30, 20, 10, true), region({{100, 108}}),
         {{{}, 0}, {{}, 0}}, 3, 2},
        {"center of one base: all of it right of the middle", reference(Center, 30, 20, 10), region({{7, 8}}),
         {{{{-23, 7}}, 3}, {{{7, 27}}, 2}}},
        {"center of no base", reference(Center, 30, 20, 10), region({{7, 7}}), {{{{-23, 7}, {7, 7}}, 3}, {{{7, 27}}, 2}}},
        {"scale-regions", scaled(100, 50, 1000, 20, 30, 10), region({{1000, 2000}}),
         {{{{900, 1000}}, 10}, {{{1000, 1020}}, 2}, {{{1020, 1970}}, 100}, {{{1970, 2000}}, 3}, {{{2000, 2050}}, 5}}},
        {"scale-regions on minus: downstream and 3' first", scaled(100, 50, 1000, 20, 30, 10),
         region({{1000, 2000}}, U'-'),
         {{{{950, 1000}}, 5}, {{{1000, 1030}}, 3}, {{{1030, 1980}}, 100}, {{{1980, 2000}}, 2}, {{{2000, 2100}}, 10}}},
        {"a body shorter than one bin", scaled(0, 0, 1000, 0, 0, 10), region({{0, 5}}), {}},
        {"a body shorter than one bin after the unscaled parts", scaled(100, 50, 1000, 20, 30, 10), region({{0, 55}}),
         {}},
        {"body length 0 lays out as TSS", scaled(100, 50, 0, 0, 0, 10), region({{1000, 1020}}),
         {{{{900, 1000}}, 10}, {{{1000, 1050}}, 5}}},
    };
    ZoneScratch scratch;  // shared by the cases, as a worker shares it by its regions
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ZoneLayout layout;
        ASSERT_EQ(compute_zones(c.region, c.params, layout, scratch), !c.zones.empty());
        if (c.zones.empty()) continue;
        ASSERT_EQ(layout.zones.size(), c.zones.size());
        for (std::size_t i = 0; i < c.zones.size(); ++i) {
            EXPECT_EQ(layout.zones[i].intervals, c.zones[i].intervals) << "zone " << i;
            EXPECT_EQ(layout.zones[i].bins, c.zones[i].bins) << "zone " << i;
        }
        EXPECT_EQ(std::tie(layout.left_nan_bins, layout.right_nan_bins), std::tie(c.left_nan_bins, c.right_nan_bins));
    }
}

TEST(Zones, HostileCoordinatesNeitherOverflowNorGoNegative) {
    constexpr auto lo = std::numeric_limits<std::int64_t>::min();
    constexpr auto hi = std::numeric_limits<std::int64_t>::max();
    ZoneScratch scratch;
    for (RefPoint point : {RefPoint::TSS, RefPoint::TES, RefPoint::Center})
        for (Strand strand : {U'+', U'-'})
            for (const Blocks& blocks : {Blocks{{lo, hi}}, Blocks{{lo, lo + 1}}, Blocks{{hi - 1, hi}},
                                         Blocks{{500, 100}}, Blocks{{7, 7}}}) {
                ZoneLayout l;
                ASSERT_TRUE(compute_zones(region(blocks, strand), reference(point, hi / 4, hi / 4, 1000), l, scratch));
                for (const Zone& z : l.zones) {
                    EXPECT_GE(z.bins, 0);
                    for (const Block& iv : z.intervals) EXPECT_LE(iv.start, iv.end);
                }
            }
    ZoneLayout l;
    EXPECT_TRUE(compute_zones(region({{lo, hi}}), scaled(hi / 4, hi / 4, 1000, 10, 10, 10), l, scratch));
}

}  // namespace
}  // namespace binscope
