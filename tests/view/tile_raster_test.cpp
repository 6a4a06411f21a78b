// tile_raster_test.cpp - the vector loops of a tile's raster against the
// plain ones, bit for bit: windows across groups, parts of one and of
// several columns, a single hovered cell, missing values, signed zeros,
// infinities and values whose sum depends on the order of adding.
#include "view/tile_raster.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

#include "figure/figure_test_input.hpp"
#include "view/tile.hpp"

namespace binscope {
namespace {

enum class Values { uniform, signed_zeros, extremes, cancelling };

// A value of the kind asked for; `missing` the share of NaN.
float draw(Values kind, std::mt19937& random, double missing) {
    if (std::bernoulli_distribution(missing)(random)) return std::numeric_limits<float>::quiet_NaN();
    std::uniform_int_distribution<int> pick(0, 5);
    switch (kind) {
        case Values::uniform:
            return std::uniform_real_distribution<float>(0.0f, 10.0f)(random);
        case Values::signed_zeros:  // -0.0 first in a cell must stay beside +0.0 as the plain loops leave it
            return pick(random) < 3 ? -0.0f : (pick(random) < 3 ? 0.0f : -1.0f);
        case Values::extremes: {
            constexpr float kExtremes[] = {std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                                           std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                                           std::numeric_limits<float>::denorm_min(), 1.0f};
            return kExtremes[pick(random)];
        }
        case Values::cancelling:  // float64 sums that round differently in another order
            return pick(random) < 2 ? (pick(random) < 3 ? 3.0e15f : -3.0e15f)
                                    : std::uniform_real_distribution<float>(-1.0f, 1.0f)(random);
    }
    return 0.0f;
}

bool same_bits(const Raster& a, const Raster& b) {
    if (a.rows != b.rows || a.cols != b.cols) return false;
    for (std::size_t i = 0; i < a.values.size(); ++i) {
        const bool both_missing = std::isnan(a.values[i]) && std::isnan(b.values[i]);
        if (!both_missing && std::bit_cast<std::uint32_t>(a.values[i]) != std::bit_cast<std::uint32_t>(b.values[i]))
            return false;
    }
    return true;
}

TEST(TileRaster, VectorLoopsGiveThePlainLoopsFloatsBitForBit) {
    struct Case {
        std::vector<std::size_t> groups, bins;
        RowWindow window;
        std::vector<std::size_t> col_cuts;  // empty: even_edges(bins of sample 1, width)
        std::size_t width;
        Values kind;
        double missing;
    };
    const Case cases[] = {
        {{3000}, {5, 40}, {0, 3000, 97}, {}, 40, Values::uniform, 0.2},            // one column a part
        {{1200, 1, 800}, {6, 37}, {500, 1900, 64}, {}, 11, Values::uniform, 0.3},  // wider parts, a window across groups
        {{400}, {2, 9}, {10, 30, 100}, {}, 50, Values::uniform, 0.5},              // fewer rows and columns than pixels
        {{2000}, {3, 16}, {0, 2000, 50}, {}, 16, Values::signed_zeros, 0.3},
        {{2000}, {3, 16}, {0, 2000, 50}, {}, 5, Values::signed_zeros, 0.3},
        {{600, 600}, {1, 12}, {0, 1200, 20}, {}, 12, Values::extremes, 0.1},
        {{600, 600}, {1, 12}, {0, 1200, 20}, {}, 4, Values::extremes, 0.1},
        {{5000}, {2, 24}, {0, 5000, 7}, {}, 24, Values::cancelling, 0.05},
        {{5000}, {2, 24}, {0, 5000, 7}, {}, 7, Values::cancelling, 0.05},
        {{300, 300}, {4, 20}, {250, 350, 3}, {3, 8}, 0, Values::cancelling, 0.2},  // one hovered cell, not at column 0
        {{300}, {4, 20}, {0, 300, 300}, {19, 20}, 0, Values::uniform, 0.9},        // mostly missing, the last column
    };
    unsigned seed = 7;
    for (const Case& c : cases) {
        auto owned = testing::random_input(c.groups, c.bins, 0.0, seed);
        std::mt19937 random(seed++);
        for (float& v : owned->values) v = draw(c.kind, random, c.missing);
        const FigureInput& input = owned->input;
        const std::size_t col_begin = input.sample_boundaries[1];
        const auto row_cuts = window_cuts(input, c.window);
        const auto col_cuts = c.col_cuts.empty() ? even_edges(c.bins[1], c.width) : c.col_cuts;
        for (const TileStatistic statistic : {TileStatistic::mean, TileStatistic::max}) {
            auto plain = plain_window_raster(input, col_begin, row_cuts, col_cuts, statistic, 1);
            ASSERT_TRUE(plain);
            for (const std::size_t threads : {1, 3}) {
                SCOPED_TRACE(::testing::Message() << "case " << seed - 8 << (statistic == TileStatistic::max ? " max" : " mean")
                                                << " threads " << threads);
                auto fast = window_raster(input, col_begin, row_cuts, col_cuts, statistic, threads);
                ASSERT_TRUE(fast);
                EXPECT_TRUE(same_bits(*fast, *plain));
            }
        }
    }
}

}  // namespace
}  // namespace binscope
