// number_format_test.cpp - the float, integer and JSON texts of the outputs.
#include "output/number_format.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace binscope {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

std::string shortest(float v) {
    char buf[kNumberTextMax];
    return std::string(buf, write_float_shortest(buf, v));
}

std::string fixed4(float v) {
    char buf[kNumberTextMax];
    return std::string(buf, write_float_fixed4(buf, v));
}

// Every finite float reads back exactly, never with an exponent, and with
// as many significant digits as the shortest scientific form.
TEST(NumberFormat, ShortestFloatRoundTrips) {
    auto significant = [](std::string_view text) {
        std::string digits;
        for (char c : text)
            if (c >= '0' && c <= '9') digits += c;
        const auto first = digits.find_first_not_of('0');
        return first == std::string::npos ? 1 : digits.find_last_not_of('0') - first + 1;
    };
    auto check = [&](float v) {
        if (!std::isfinite(v)) return;
        const std::string text = shortest(v);
        float back = 0;
        const auto res = std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_TRUE(res.ec == std::errc() && res.ptr == text.data() + text.size()) << text;
        ASSERT_EQ(std::bit_cast<std::uint32_t>(back), std::bit_cast<std::uint32_t>(v)) << text;
        char sci[64];
        const std::string_view s(sci, std::to_chars(sci, sci + 64, v, std::chars_format::scientific).ptr);
        ASSERT_EQ(significant(text), significant(s.substr(0, s.find('e')))) << text;
    };
    std::mt19937 rng(7);
    for (int i = 0; i < 300000; ++i) check(std::bit_cast<float>(static_cast<std::uint32_t>(rng())));
    for (int p = -45; p <= 38; ++p) {
        const float v = std::strtof(("1e" + std::to_string(p)).c_str(), nullptr);
        for (float w : {v, std::nextafter(v, 0.0f), std::nextafter(v, kInf), -v}) check(w);
    }
    for (std::uint32_t bits = 0; bits < 5000; ++bits) check(std::bit_cast<float>(bits));
}

TEST(NumberFormat, FixedFourDecimals) {
    // The C library's exact conversion as the reference.
    std::mt19937 rng(11);
    for (int i = 0; i < 100000; ++i) {
        const float v = std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
        if (!std::isfinite(v)) continue;
        char expected[128];
        std::snprintf(expected, sizeof expected, "%.4f", static_cast<double>(v));
        ASSERT_EQ(fixed4(v), expected);
    }
}

TEST(NumberFormat, JsonNumbersAndStrings) {
    const std::pair<double, std::string> cases[] = {
        {1.0, "1.0"}, {0.5, "0.5"}, {0.0, "0.0"}, {-0.0, "-0.0"}, {-2.25, "-2.25"}, {0.00001, "0.00001"},
        {0.000001, "1e-6"}, {1.5e-7, "1.5e-7"}, {1e15, "1000000000000000.0"}, {1e16, "1e+16"},
        {2.5e20, "2.5e+20"}, {-1.25e-300, "-1.25e-300"}, {std::nan(""), "null"},
        {-std::numeric_limits<double>::infinity(), "null"},
    };
    for (const auto& [value, text] : cases) EXPECT_EQ(json_number(value), text);

    std::string out;
    append_json_string(out, std::string("a\"b\\c\b\f\n\r\t\0\x1f\x7f", 13) + "é");
    EXPECT_EQ(out, "\"a\\\"b\\\\c\\b\\f\\n\\r\\t\\u0000\\u001f\x7f\xc3\xa9\"");
}

}  // namespace
}  // namespace binscope
