// binning_add_repeated_test.cpp - repeated single-precision addition taken
// a binade at a time must round exactly as the additions one by one.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "binning.hpp"

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
}

}  // namespace
}  // namespace binscope
