// decimal_float_test.cpp - the fast float reading against std::from_chars,
// bit for bit, on hard cases and on millions of texts.
#include "matrix_file/decimal_float.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace binscope {
namespace {

// What a reading gave: the value's bits (a sentinel when untouched), where
// it stopped and its error code.
struct Reading {
    std::uint32_t bits;
    std::ptrdiff_t used;
    std::errc ec;
    bool operator==(const Reading&) const = default;
};

constexpr std::uint32_t kUntouched = 0x7fc01234u;

template <class Read>
Reading reading(std::string_view text, Read read) {
    float value = std::bit_cast<float>(kUntouched);
    const auto [ptr, ec] = read(text.data(), text.data() + text.size(), value);
    return {std::bit_cast<std::uint32_t>(value), ptr - text.data(), ec};
}

// The text read both ways; the test's message on a difference.
::testing::AssertionResult reads_alike(std::string_view text) {
    const Reading fast = reading(text, [](const char* f, const char* l, float& v) { return read_decimal_float(f, l, v); });
    const Reading plain = reading(text, [](const char* f, const char* l, float& v) { return std::from_chars(f, l, v); });
    if (fast == plain) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\": fast bits " << std::hex << fast.bits << " used "
                                         << std::dec << fast.used << " ec " << static_cast<int>(fast.ec)
                                         << ", std::from_chars bits " << std::hex << plain.bits << " used " << std::dec
                                         << plain.used << " ec " << static_cast<int>(plain.ec);
}

std::string shortest_fixed(float value) {
    char buffer[128];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr);
}

std::string shortest_fixed(double value) {
    char buffer[512];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed).ptr);
}

TEST(DecimalFloat, ReadsHardCasesAsStdFromChars) {
    const std::string_view cases[] = {
        // The writers' usual forms, signs and zeros.
        "0", "-0", "0.0", "-0.000", "12", "-3.5", "0.0123456", "0.29679996", "1.0759", "16777216", "-16777215",
        // Leading and trailing zeros.
        "00012.500", "0000000000000000001", "1.000000000000000000", "1.0000000000000000000", "0.1000000000000000000",
        // Halfway between two floats, as a double, and either side of it:
        // 0.5 + 2^-25 and 2^24 + 1, 2^24 + 3.
        "0.5000000298023224", "0.5000000298023223", "0.50000002980232238769531", "0.5000000298023223876953125",
        "16777217", "16777219", "16777217.00000001", "16777216.99999999", "1.00000005960464477539",
        // Mantissas at and past 2^53, and of 19 and 20 digits.
        "9007199254740992", "9007199254740993", "900719925474099.3", "0.9007199254740993",
        "1234567890123456789", "12345678901234567890", "1234567890.1234567890", "0.1234567890123456789",
        "0.0000000000000000001", "0.00000000000000000001",
        // Far more fraction digits than 22, down to subnormals and below.
        "0.0000000000000000000001", "0.00000000000000000000001", "0.000000000000000000000000000000000000001",
        "0.000000000000000000000000000000000000000000001", "0.0000000000000000000000000000000000000000000001",
        "0.000000000000000000000000000000000000011754943", "0.000000000000000000000000000000000000011754942",
        // The largest float, halfway past it, and past that.
        "340282346638528859811704183484516925440", "340282356779733661637539395458142568448",
        "340282356779733661637539395458142568447", "1000000000000000000000000000000000000000",
        // Not-numbers, infinities and exponents.
        "nan", "-nan", "NaN", "nan(123)", "inf", "-inf", "infinity", "-Infinity", "1e5", "1E-5", "-2.5e-3", "1.5e",
        "3.4028235e38", "1e39", "1e-50", "0x1p3",
        // Texts that are not numbers, or end early.
        "", "-", ".", ".5", "-.5", "5.", "-5.", "+1", "--1", "1..5", "1.5.", "1.5x", "1 ", " 1", "1,5", "-\t",
        "1.5\t2", "12\t", "-0\t", "0.5000000298023224\tx", "1.5e3\t", "nan\t", "1.\t", "\t1"};
    for (std::string_view text : cases) EXPECT_TRUE(reads_alike(text));
}

TEST(DecimalFloat, ReadsMillionsOfTextsAsStdFromChars) {
    std::mt19937_64 random(20240611);
    std::size_t differences = 0;
    auto check = [&](const std::string& text) {
        if (auto alike = reads_alike(text); !alike && ++differences <= 10) ADD_FAILURE() << alike.message();
    };
    // Every float's shortest fixed text: first of any bit pattern, then of
    // magnitudes between 2^-40 and 2^40, where plain decimals are short.
    for (int i = 0; i < 600'000; ++i) check(shortest_fixed(std::bit_cast<float>(static_cast<std::uint32_t>(random()))));
    for (int i = 0; i < 900'000; ++i) {
        const auto bits = static_cast<std::uint32_t>(random());
        const std::uint32_t exponent = 127 - 40 + (bits >> 9) % 81;
        check(shortest_fixed(std::bit_cast<float>((bits & 0x807fffffu) | (exponent << 23))));
    }
    // The doubles halfway between two neighbouring floats, and the texts
    // one unit either side of theirs in the last digit.
    for (int i = 0; i < 200'000; ++i) {
        const float low = std::bit_cast<float>(0x2d000000u + static_cast<std::uint32_t>(random() % 0x2c000000u));
        const double halfway = (static_cast<double>(low) + std::nextafter(low, INFINITY)) / 2;
        std::string text = shortest_fixed(halfway);
        check(text);
        for (int step : {-1, 1}) {
            std::string near = text;
            char& last = near.back();
            if (last + step < '0' || last + step > '9') continue;
            last = static_cast<char>(last + step);
            check(near);
        }
    }
    // Random digits, 1 to 19 of them, with the point anywhere.
    for (int i = 0; i < 300'000; ++i) {
        const std::string digits = std::to_string(random() % 10'000'000'000'000'000'000u);
        const std::size_t point = random() % (digits.size() + 1);
        std::string text = digits.substr(0, point) + (point < digits.size() ? "." : "") + digits.substr(point);
        if (point == 0) text = "0" + text;
        check((i % 2 ? "-" : "") + text);
    }
    EXPECT_EQ(differences, 0u);
}

}  // namespace
}  // namespace binscope
