// binning_test.cpp - bin statistics and their value-less pieces.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

#include "binning.hpp"

namespace binscope {
namespace {

constexpr AverageType kTypes[] = {AverageType::Mean, AverageType::Median, AverageType::Min,
                                  AverageType::Max,  AverageType::Sum,    AverageType::Std};

float agg(std::vector<float> v, AverageType t) { return aggregate_bin(v, t); }

TEST(AggregateBin, StatisticsWeightBasesAndSkipMissingValues) {
    const float nan = missing_value();
    EXPECT_EQ(std::bit_cast<std::uint32_t>(nan), 0x7FC00000u);
    for (AverageType t : kTypes) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(agg({nan, nan}, t)), 0x7FC00000u);
        EXPECT_EQ(std::bit_cast<std::uint32_t>(agg({}, t)), 0x7FC00000u);
        EXPECT_EQ(agg({0, 0, 0}, t), 0.0f);
    }
    EXPECT_EQ(agg({3.5f}, AverageType::Mean), 3.5f);
    EXPECT_EQ(agg({3.5f}, AverageType::Median), 3.5f);
    EXPECT_EQ(agg({3.5f}, AverageType::Std), 0.0f);

    EXPECT_EQ(agg({4, 1, 3, 2}, AverageType::Median), 2.5f);
    EXPECT_EQ(agg({1, 2, 3, 4}, AverageType::Mean), 2.5f);
    EXPECT_EQ(agg({1, 2, 3, 4}, AverageType::Std), std::sqrt(1.25f));
    EXPECT_EQ(agg({1, 3}, AverageType::Std), 1.0f);  // population, not sample
    EXPECT_EQ(agg({nan, 1.5f, 1.5f, nan, 1.5f, 1.5f}, AverageType::Sum), 6.0f);
    EXPECT_EQ(agg({nan, 1.5f, 1.5f, nan, 1.5f, 1.5f}, AverageType::Mean), 1.5f);
    EXPECT_EQ(agg({5, 5, 5, 1}, AverageType::Mean), 4.0f);
    EXPECT_EQ(agg({5, 1, 5, 5}, AverageType::Median), 5.0f);
    EXPECT_EQ(agg({2, nan, -7, 9}, AverageType::Min), -7.0f);
    EXPECT_EQ(agg({2, nan, -7, 9}, AverageType::Max), 9.0f);

    // Single precision in position order: 2^24 + 1 + 1 stays 2^24.
    EXPECT_EQ(agg({16777216.0f, 1, 1}, AverageType::Sum), 16777216.0f);
    EXPECT_EQ(agg({1, 1, 16777216.0f}, AverageType::Sum), 16777218.0f);
    // The sum starts from -0.0.
    EXPECT_TRUE(std::signbit(agg({-0.0f}, AverageType::Sum)));
}

// A slow reference: every repetition rounded one at a time.
float add_one_by_one(float q, float x, std::uint64_t times) {
    for (std::uint64_t i = 0; i < times; ++i) q += x;
    return q;
}

TEST(AggregateBin, RepeatedAdditionMatchesOneByOne) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_int_distribution<std::uint64_t> count(0, 200000);
    for (int trial = 0; trial < 300; ++trial) {
        const float x = std::ldexp(unit(rng) + 0.5f, static_cast<int>(rng() % 40) - 20);
        const float q = trial % 3 == 0 ? -0.0f : std::ldexp(unit(rng), static_cast<int>(rng() % 40) - 20);
        const std::uint64_t n = count(rng);
        ASSERT_EQ(std::bit_cast<std::uint32_t>(add_repeated(q, x, n)),
                  std::bit_cast<std::uint32_t>(add_one_by_one(q, x, n)))
            << "q=" << q << " x=" << x << " n=" << n;
    }
    // Ties to even: x is half a spacing of q.
    for (float q : {16777216.0f, 16777218.0f, 8388609.0f})
        for (float x : {1.0f, 0.5f, 1.5f, 3.0f})
            EXPECT_EQ(add_repeated(q, x, 1001), add_one_by_one(q, x, 1001)) << q << " " << x;
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
        float sum = -0.0f, q = -0.0f;
        std::uint64_t n = 0;
        for (float v : bin)
            if (!std::isnan(v)) sum += v, ++n;
        if (n == 0) continue;
        const float mean = sum / static_cast<float>(n);
        for (float v : bin)
            if (!std::isnan(v)) q += (v - mean) * (v - mean);
        EXPECT_EQ(aggregate_bin(bin, AverageType::Sum), sum);
        EXPECT_EQ(aggregate_bin(bin, AverageType::Mean), mean);
        EXPECT_EQ(aggregate_bin(bin, AverageType::Std), std::sqrt(q / static_cast<float>(n)));
    }
}

TEST(AggregateBin, ValuelessPiecesAreSkippedOrCountAsZero) {
    const float nan = missing_value();
    const std::vector<float> a{1.5f, nan, -2.0f, 7.25f};
    const std::vector<float> b{0.125f, -0.0f, 3.0f};
    const std::vector<BinPiece> pieces{{a.data(), a.size()}, {nullptr, 5}, {b.data(), b.size()}, {nullptr, 2}};
    std::vector<float> with_nan = a, with_zero = a;
    with_nan.insert(with_nan.end(), 5, nan);
    with_zero.insert(with_zero.end(), 5, 0.0f);
    with_nan.insert(with_nan.end(), b.begin(), b.end());
    with_zero.insert(with_zero.end(), b.begin(), b.end());
    with_nan.insert(with_nan.end(), 2, nan);
    with_zero.insert(with_zero.end(), 2, 0.0f);
    std::vector<float> scratch;
    for (AverageType t : kTypes) {
        EXPECT_EQ(aggregate_pieces(pieces, t, false, scratch), agg(with_nan, t)) << static_cast<int>(t);
        EXPECT_EQ(aggregate_pieces(pieces, t, true, scratch), agg(with_zero, t)) << static_cast<int>(t);
    }
    // A run of zeros longer than memory gives its statistics at once.
    const std::vector<BinPiece> huge{{nullptr, std::uint64_t{1} << 60}, {a.data(), 1}};
    EXPECT_EQ(aggregate_pieces(huge, AverageType::Max, true, scratch), 1.5f);
    EXPECT_EQ(aggregate_pieces(huge, AverageType::Median, true, scratch), 0.0f);
    EXPECT_EQ(aggregate_pieces(huge, AverageType::Mean, true, scratch), 1.5f / std::ldexp(1.0f, 60));
    EXPECT_EQ(aggregate_pieces(huge, AverageType::Sum, false, scratch), 1.5f);
}

}  // namespace
}  // namespace binscope
