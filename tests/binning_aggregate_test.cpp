// binning_aggregate_test.cpp - the exact repeated addition behind long runs
// of equal scores, runs longer than memory, and medians of more values
// than they keep.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "binning_aggregate.hpp"

namespace binscope {
namespace {

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

TEST(AggregateBin, MedianOfMoreValuesThanKeptIsCountedExactly) {
    // Past its kept runs a median asks for the runs twice more; the middle
    // ranks may fall under one upper half of the order key or two.
    std::mt19937 rng(5);
    std::normal_distribution<float> normal(0.0f, 3.0f);
    const std::pair<const char*, std::function<float(std::uint32_t)>> cases[] = {
        {"random", [&](std::uint32_t) { return normal(rng); }},
        {"signs split the middle", [](std::uint32_t i) { return i % 2 ? -1.0f - i : 1.0f + i; }},
        {"the middle value repeated", [](std::uint32_t i) { return i % 4 ? 7.0f + (i % 2 ? 1e-3f : -1e-3f) * i : 7.0f; }},
    };
    for (const auto& [name, value] : cases) {
        for (std::uint32_t n : {600000u, 600001u}) {
            SCOPED_TRACE(::testing::Message() << name << ", " << n << " values");
            std::vector<std::pair<float, std::uint64_t>> runs;
            std::vector<float> all;
            for (std::uint32_t i = 0; all.size() < n; ++i) {
                runs.emplace_back(value(i), std::min<std::size_t>(1 + i % 2, n - all.size()));
                all.insert(all.end(), runs.back().second, runs.back().first);
            }
            BinStatistic stat(AverageType::Median, false);
            stat.clear();
            do {
                for (const auto& [v, count] : runs) stat.add(v, count);
            } while (stat.wants_another_pass());
            std::sort(all.begin(), all.end());
            const float want = n % 2 ? all[n / 2] : (all[n / 2 - 1] + all[n / 2]) * 0.5f;
            EXPECT_EQ(std::bit_cast<std::uint32_t>(stat.result()), std::bit_cast<std::uint32_t>(want));
        }
    }
}

TEST(AggregateBin, RunsLongerThanMemoryCountAsZeroAtOnce) {
    // 2^60 missing bases counted as 0.0, then one base of 1.5.
    const std::pair<AverageType, float> cases[] = {{AverageType::Max, 1.5f},
                                                   {AverageType::Sum, 1.5f},
                                                   {AverageType::Mean, 1.5f / std::ldexp(1.0f, 60)},
                                                   {AverageType::Median, 0.0f},
                                                   {AverageType::Min, 0.0f}};
    for (const auto& [type, want] : cases) {
        BinStatistic stat(type, true);
        stat.clear();
        stat.add(missing_value(), std::uint64_t{1} << 60);
        stat.add(1.5f, 1);
        EXPECT_EQ(stat.result(), want) << static_cast<int>(type);
    }
}

}  // namespace
}  // namespace binscope
