// number_format_test.cpp - the float, integer and JSON texts of the outputs.
#include "output/number_format.hpp"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace binscope {
namespace {

std::string shortest(float v) {
    char buf[kNumberTextMax];
    return std::string(buf, write_float_shortest(buf, v));
}

std::string fixed4(float v) {
    char buf[kNumberTextMax];
    return std::string(buf, write_float_fixed4(buf, v));
}

// Significant digits of the text, leading and trailing zeros aside.
std::size_t significant_digits(const std::string& text) {
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9') digits += c;
    const auto first = digits.find_first_not_of('0');
    if (first == std::string::npos) return 1;
    return digits.find_last_not_of('0') - first + 1;
}

TEST(NumberFormat, ShortestFloatExamples) {
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(shortest(2.0f), "2");
    EXPECT_EQ(shortest(0.1f), "0.1");
    EXPECT_EQ(shortest(1e-7f), "0.0000001");
    EXPECT_EQ(shortest(0.25f), "0.25");
    EXPECT_EQ(shortest(1.5f), "1.5");
    EXPECT_EQ(shortest(0.0f), "0");
    EXPECT_EQ(shortest(-0.0f), "-0");
    EXPECT_EQ(shortest(-3.0f), "-3");
    EXPECT_EQ(shortest(123456.7f), "123456.7");
    EXPECT_EQ(shortest(std::numeric_limits<float>::quiet_NaN()), "nan");
    EXPECT_EQ(shortest(-std::numeric_limits<float>::quiet_NaN()), "nan");
    EXPECT_EQ(shortest(inf), "inf");
    EXPECT_EQ(shortest(-inf), "-inf");
    // Around powers of ten and the integer fast path's limit.
    EXPECT_EQ(shortest(1e7f), "10000000");
    EXPECT_EQ(shortest(1e10f), "10000000000");
    EXPECT_EQ(shortest(16777216.0f), "16777216");
    EXPECT_EQ(shortest(3e10f), "30000000000");
    EXPECT_EQ(shortest(0.001f), "0.001");
    EXPECT_EQ(shortest(9.999999e-5f), "0.00009999999");
    EXPECT_EQ(shortest(std::nextafter(1.0f, 0.0f)), "0.99999994");
    // Extremes: the largest float and the smallest subnormal in full.
    EXPECT_EQ(shortest(std::numeric_limits<float>::max()), "34028235" + std::string(31, '0'));
    EXPECT_EQ(shortest(-std::numeric_limits<float>::max()), "-34028235" + std::string(31, '0'));
    EXPECT_EQ(shortest(std::numeric_limits<float>::denorm_min()), "0." + std::string(44, '0') + "1");
    EXPECT_EQ(shortest(std::numeric_limits<float>::min()), "0." + std::string(37, '0') + "11754944");
}

// Every finite float must read back exactly, without exponent, and with
// no more significant digits than the shortest scientific form.
TEST(NumberFormat, ShortestFloatRoundTripsOverBitPatterns) {
    std::mt19937 rng(7);
    auto check = [](float v) {
        if (!std::isfinite(v)) return;
        const std::string text = shortest(v);
        ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
        float back = 0;
        const auto res = std::from_chars(text.data(), text.data() + text.size(), back);
        ASSERT_EQ(res.ec, std::errc()) << text;
        ASSERT_EQ(res.ptr, text.data() + text.size()) << text;
        ASSERT_EQ(std::bit_cast<std::uint32_t>(back), std::bit_cast<std::uint32_t>(v)) << text;
        char sci[64];
        const auto end = std::to_chars(sci, sci + 64, v, std::chars_format::scientific).ptr;
        const std::string s(sci, end);
        ASSERT_EQ(significant_digits(text), significant_digits(s.substr(0, s.find('e')))) << text;
    };
    for (int i = 0; i < 300000; ++i) check(std::bit_cast<float>(static_cast<std::uint32_t>(rng())));
    for (int p = -45; p <= 38; ++p) {
        const float v = std::strtof(("1e" + std::to_string(p)).c_str(), nullptr);
        for (float w : {v, std::nextafter(v, 0.0f), std::nextafter(v, std::numeric_limits<float>::infinity()), -v}) check(w);
    }
    for (std::uint32_t bits = 0; bits < 5000; ++bits) check(std::bit_cast<float>(bits));
}

TEST(NumberFormat, FixedFourDecimalsRoundHalfToEvenFromExactValue) {
    EXPECT_EQ(fixed4(1.5f), "1.5000");
    EXPECT_EQ(fixed4(2.0f), "2.0000");
    EXPECT_EQ(fixed4(-0.5f), "-0.5000");
    EXPECT_EQ(fixed4(0.00004f), "0.0000");
    EXPECT_EQ(fixed4(0.00005f), "0.0000");  // held just below the tie
    EXPECT_EQ(fixed4(123456.7f), "123456.7031");
    EXPECT_EQ(fixed4(0.03125f), "0.0312");  // exact ties go to even
    EXPECT_EQ(fixed4(0.09375f), "0.0938");
    EXPECT_EQ(fixed4(-0.03125f), "-0.0312");
    EXPECT_EQ(fixed4(-0.0f), "-0.0000");
    EXPECT_EQ(fixed4(-0.00004f), "-0.0000");
    EXPECT_EQ(fixed4(std::numeric_limits<float>::quiet_NaN()), "nan");
    EXPECT_EQ(fixed4(std::numeric_limits<float>::infinity()), "inf");
    EXPECT_EQ(fixed4(-std::numeric_limits<float>::infinity()), "-inf");
    EXPECT_EQ(fixed4(std::numeric_limits<float>::max()), "340282346638528859811704183484516925440.0000");

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

TEST(NumberFormat, Integers) {
    char buf[kNumberTextMax];
    EXPECT_EQ(std::string(buf, write_int(buf, 0)), "0");
    EXPECT_EQ(std::string(buf, write_int(buf, -42)), "-42");
    EXPECT_EQ(std::string(buf, write_int(buf, std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
}

TEST(NumberFormat, JsonNumbers) {
    EXPECT_EQ(json_number(1.0), "1.0");
    EXPECT_EQ(json_number(0.5), "0.5");
    EXPECT_EQ(json_number(0.0), "0.0");
    EXPECT_EQ(json_number(-0.0), "-0.0");
    EXPECT_EQ(json_number(-2.25), "-2.25");
    EXPECT_EQ(json_number(0.00001), "0.00001");
    EXPECT_EQ(json_number(0.000015), "0.000015");
    EXPECT_EQ(json_number(0.000001), "1e-6");
    EXPECT_EQ(json_number(1.5e-7), "1.5e-7");
    EXPECT_EQ(json_number(1e15), "1000000000000000.0");
    EXPECT_EQ(json_number(1e16), "1e+16");
    EXPECT_EQ(json_number(1e20), "1e+20");
    EXPECT_EQ(json_number(2.5e20), "2.5e+20");
    EXPECT_EQ(json_number(-1.25e-300), "-1.25e-300");
    EXPECT_EQ(json_number(std::numeric_limits<double>::max()), "1.7976931348623157e+308");
    EXPECT_EQ(json_number(0.1), "0.1");
    EXPECT_EQ(json_number(std::nan("")), "null");
    EXPECT_EQ(json_number(-std::numeric_limits<double>::infinity()), "null");
}

TEST(NumberFormat, JsonStrings) {
    std::string out;
    append_json_string(out, std::string("a\"b\\c\b\f\n\r\td\x01\x1f\x7f", 14) + "é");
    EXPECT_EQ(out, "\"a\\\"b\\\\c\\b\\f\\n\\r\\td\\u0001\\u001f\x7f\xc3\xa9\"");
    out.clear();
    append_json_string(out, std::string("\0", 1));
    EXPECT_EQ(out, "\"\\u0000\"");
}

}  // namespace
}  // namespace binscope
