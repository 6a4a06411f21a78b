// axis_test.cpp - the x-axis ticks from a matrix header (both layouts,
// unscaled parts, replaced labels) and round value ticks.
#include "figure/axis.hpp"

#include <gtest/gtest.h>

namespace binscope {
namespace {

MatrixHeader header(std::int64_t up, std::int64_t down, std::int64_t body, std::int64_t bin, std::int64_t u5,
                    std::int64_t u3, std::optional<std::string> point) {
    MatrixHeader h;
    h.upstream = {up};
    h.downstream = {down};
    h.body = {body};
    h.bin_size = {bin};
    h.unscaled_5_prime = {u5};
    h.unscaled_3_prime = {u3};
    h.ref_point = {point};
    h.sample_labels = {"a"};
    return h;
}

using Ticks = std::vector<std::pair<double, std::string>>;

Ticks flat(const std::vector<AxisTick>& ticks) {
    Ticks out;
    for (const auto& t : ticks) out.emplace_back(t.position, t.label);
    return out;
}

TEST(Axis, TicksFollowTheHeaderInBothLayouts) {
    FigureStyle style;
    struct Case {
        MatrixHeader h;
        std::optional<std::string> ref_label;
        Ticks want;
    };
    const Case cases[] = {
        {header(500, 1500, 0, 10, 0, 0, "TSS"), {}, {{0, "-0.5kb"}, {50, "TSS"}, {200, "1.5kb"}}},
        {header(500, 1500, 0, 10, 0, 0, "center"), "peak", {{0, "-0.5kb"}, {50, "peak"}, {200, "1.5kb"}}},
        {header(0, 2000, 0, 50, 0, 0, "TES"), {}, {{0, "TES"}, {40, "2kb"}}},
        {header(1000, 0, 0, 100, 0, 0, "TSS"), {}, {{0, "-1kb"}, {10, "TSS"}}},
        {header(1000, 1000, 5000, 100, 0, 0, std::nullopt), {},
         {{0, "-1kb"}, {10, "TSS"}, {60, "TES"}, {70, "1kb"}}},
        {header(1000, 1000, 5000, 100, 200, 300, std::nullopt), {},
         {{0, "-1kb"}, {10, "TSS"}, {12, "TSS+0.2kb"}, {62, "TES-0.3kb"}, {65, "TES"}, {75, "1kb"}}},
        {header(0, 0, 2500, 10, 50, 0, std::nullopt), {}, {{0, "TSS"}, {5, "TSS+0.05kb"}, {255, "TES"}}},
    };
    for (const auto& c : cases) {
        style.ref_point_label = c.ref_label;
        EXPECT_EQ(flat(sample_ticks(c.h, 0, style)), c.want);
    }
    style.ref_point_label.reset();
    style.start_label = "start";
    style.end_label = "end";
    EXPECT_EQ(flat(sample_ticks(header(0, 0, 100, 10, 0, 0, std::nullopt), 0, style)),
              (Ticks{{0, "start"}, {10, "end"}}));
}

TEST(Axis, ValueTicksAreRoundAndWithinTheRange) {
    EXPECT_EQ(flat(value_ticks(0, 1, 5)), (Ticks{{0, "0"}, {0.25, "0.25"}, {0.5, "0.5"}, {0.75, "0.75"}, {1, "1"}}));
    EXPECT_EQ(flat(value_ticks(-3.7, 12.2, 5)), (Ticks{{0, "0"}, {5, "5"}, {10, "10"}}));
    EXPECT_EQ(flat(value_ticks(0.0012, 0.0047, 4)), (Ticks{{0.002, "0.002"}, {0.004, "0.004"}}));
    EXPECT_TRUE(value_ticks(1, 1, 5).empty());
    EXPECT_EQ(kb_label(-1500), "-1.5kb");
    EXPECT_EQ(kb_label(1234567), "1234.567kb");
}

}  // namespace
}  // namespace binscope
