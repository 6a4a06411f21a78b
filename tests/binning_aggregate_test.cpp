// binning_aggregate_test.cpp - bin statistics, their value-less pieces and
// the exact repeated addition behind long runs of equal scores.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "binning.hpp"
#include "binning_aggregate.hpp"
#include "support/reference_statistic.hpp"

namespace binscope {
namespace {

constexpr AverageType kTypes[] = {AverageType::Mean, AverageType::Median, AverageType::Min,
                                  AverageType::Max,  AverageType::Sum,    AverageType::Std};

float agg(std::vector<float> v, AverageType t) {
    std::vector<float> scratch;
    const BinPiece piece{v.data(), v.size()};
    return aggregate_pieces({&piece, 1}, t, false, scratch);
}

float one_by_one(float q, float x, std::uint64_t times) {
    for (std::uint64_t i = 0; i < times; ++i) q += x;
    return q;
}

// The spacing of floats at q's binade.
float spacing(float q) { return std::nextafter(std::fabs(q), std::numeric_limits<float>::infinity()) - std::fabs(q); }

TEST(AddRepeated, EveryKindOfStepRoundsAsOneByOne) {
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<float> unit(0.5f, 1.0f);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    for (int trial = 0; trial < 40000; ++trial) {
        // Scores of every scale, starting sums below, near and above them,
        // of either sign, and increments that are exact halves of the
        // start's spacing (ties) or far below it.
        const float x0 = std::ldexp(unit(rng), pick(-30, 30));
        float q = trial % 5 == 0 ? -0.0f : std::ldexp(unit(rng), pick(-35, 45)) * (pick(0, 3) == 0 ? -1.0f : 1.0f);
        float x = x0;
        switch (trial % 7) {
        case 1: x = spacing(q) * (static_cast<float>(pick(0, 40)) + 0.5f); break;  // ties
        case 2: x = spacing(q) * static_cast<float>(pick(1, 9)) * 0.25f; break;    // quarter spacings
        case 3: x = std::ldexp(unit(rng), -140); break;                           // subnormal scale
        case 4: q = std::ldexp(1.0f, pick(-20, 20)) - spacing(std::ldexp(1.0f, pick(-20, 20))); break;
        default: break;
        }
        if (x == 0.0f || !std::isfinite(x)) continue;
        if (pick(0, 1) == 0) x = -x;
        const auto times = static_cast<std::uint64_t>(pick(0, 3000));
        ASSERT_EQ(std::bit_cast<std::uint32_t>(add_repeated(q, x, times)),
                  std::bit_cast<std::uint32_t>(one_by_one(q, x, times)))
            << "q=" << q << " x=" << x << " times=" << times;
    }
    // The top binade: sums run into infinity as one by one.
    const float big = std::numeric_limits<float>::max() / 4;
    EXPECT_EQ(add_repeated(big, big / 3, 20), one_by_one(big, big / 3, 20));
    // Ties to even at long runs: x is half a spacing of q.
    for (float q0 : {16777216.0f, 16777218.0f, 8388609.0f})
        for (float x : {1.0f, 0.5f, 1.5f, 3.0f})
            EXPECT_EQ(add_repeated(q0, x, 100001), one_by_one(q0, x, 100001)) << q0 << " " << x;
    // Runs far too long to add one by one still finish.
    EXPECT_EQ(add_repeated(-0.0f, 1.0f, std::uint64_t{1} << 62), 16777216.0f);
}

TEST(AggregateBin, RunsOfEqualValuesSumAsBaseByBase) {
    // Long runs are added whole; the result must be the base-by-base one.
    std::mt19937 rng(5);
    std::vector<float> values;
    while (values.size() < 200000) {
        const std::size_t run = rng() % 4 == 0 ? 1 + rng() % 5 : 16 + rng() % 3000;
        const float v = rng() % 9 == 0 ? missing_value()
                                       : std::ldexp(static_cast<float>(rng() % 2000) - 300.0f, -(rng() % 12));
        values.insert(values.end(), run, v);
    }
    for (std::size_t from = 0; from + 5000 < values.size(); from += 4999) {
        const std::span<const float> bin(values.data() + from, 1000 + from % 4000);
        for (AverageType t : kTypes)
            EXPECT_EQ(std::bit_cast<std::uint32_t>(agg({bin.begin(), bin.end()}, t)),
                      std::bit_cast<std::uint32_t>(testing::reference_statistic(bin, t)))
                << static_cast<int>(t) << " from " << from;
    }
}

// The bases of the pieces, the value-less ones as `fill`.
std::vector<float> expand(std::span<const BinPiece> pieces, float fill) {
    std::vector<float> out;
    for (const BinPiece& p : pieces)
        if (p.values) out.insert(out.end(), p.values, p.values + p.count);
        else out.insert(out.end(), p.count, fill);
    return out;
}

TEST(AggregateBin, ValuelessPiecesAreSkippedOrCountAsZero) {
    const float nan = missing_value();
    const std::vector<float> a{1.5f, nan, -2.0f, 7.25f}, b{0.125f, -0.0f, 3.0f}, c{0.5f, 2.0f, 0.25f};
    // Mixed signs, and positives only, where zeros lower the minimum and
    // the median's lower middle.
    const std::vector<BinPiece> cases[] = {
        {{a.data(), a.size()}, {nullptr, 5}, {b.data(), b.size()}, {nullptr, 2}},
        {{c.data(), c.size()}, {nullptr, 1}},
    };
    std::vector<float> scratch;
    for (const auto& pieces : cases)
        for (AverageType t : kTypes) {
            EXPECT_EQ(aggregate_pieces(pieces, t, false, scratch), testing::reference_statistic(expand(pieces, nan), t))
                << static_cast<int>(t);
            EXPECT_EQ(aggregate_pieces(pieces, t, true, scratch), testing::reference_statistic(expand(pieces, 0.0f), t))
                << static_cast<int>(t);
        }
    // Sums start from -0.0.
    EXPECT_TRUE(std::signbit(agg({-0.0f}, AverageType::Sum)));
    // A run of zeros longer than memory gives its statistics at once.
    const std::vector<BinPiece> huge{{nullptr, std::uint64_t{1} << 60}, {a.data(), 1}};
    EXPECT_EQ(aggregate_pieces(huge, AverageType::Max, true, scratch), 1.5f);
    EXPECT_EQ(aggregate_pieces(huge, AverageType::Median, true, scratch), 0.0f);
    EXPECT_EQ(aggregate_pieces(huge, AverageType::Mean, true, scratch), 1.5f / std::ldexp(1.0f, 60));
    EXPECT_EQ(aggregate_pieces(huge, AverageType::Sum, false, scratch), 1.5f);
}

}  // namespace
}  // namespace binscope
