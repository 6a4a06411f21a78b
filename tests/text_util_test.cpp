// text_util_test.cpp - decimal integers, UTF-8 checks, lossy conversion and
// white space.
#include "text_util.hpp"

#include <gtest/gtest.h>

#include <array>

#include "utf8.hpp"

namespace binscope {
namespace {

TEST(ParseInteger, AcceptsOnlySignAndDigits) {
    EXPECT_EQ(parse_int64("+42").value(), 42);
    EXPECT_EQ(parse_int64("-007").value(), -7);
    EXPECT_EQ(parse_int64("9223372036854775807").value(), INT64_MAX);
    EXPECT_EQ(parse_int64("-9223372036854775808").value(), INT64_MIN);
    const char* empty = "cannot parse integer from empty string";
    const char* digit = "invalid digit found in string";
    const char* large = "number too large to fit in target type";
    const char* small = "number too small to fit in target type";
    // The text, then the message of the region files and the command line's.
    const std::array<const char*, 3> bad[] = {
        {"", empty, empty},   {"-", digit, digit},   {" 1", digit, digit},
        {"1.5", digit, digit}, {"+-1", digit, digit}, {"9223372036854775808", large, large},
        {"-9223372036854775809", small, small},
        {"99999999999999999999x", large, digit},  // the overflow seen first, or the bad character anywhere
    };
    for (const auto& [text, in_order, whole_text] : bad) {
        EXPECT_EQ(parse_int64(text).error().message(), in_order) << text;
        EXPECT_EQ(parse_integer<std::int64_t>(text, DigitCheck::whole_text_first).error().message(), whole_text)
            << text;
    }
    EXPECT_EQ(parse_integer<std::size_t>("-1").error().message(), digit);
    EXPECT_EQ(parse_integer<std::size_t>("18446744073709551616").error().message(), large);
}

TEST(Utf8, LossyConversionAndWhiteSpace) {
    // A truncated three-byte sequence is one part; two stray bytes are two.
    EXPECT_EQ(to_utf8_lossy("\xC3\xA9\xE2\x82z\x80\xFF"), "\xC3\xA9\xEF\xBF\xBDz\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(is_valid_utf8("\xC0\xAF"));      // overlong
    EXPECT_EQ(trim_space(" \t\xC2\xA0name x\xE3\x80\x80\r"), "name x");
    EXPECT_EQ(trim_space("\xE2\x80\x83"), "");
    EXPECT_EQ(trim_space("\xE2\x82\xAC"), "\xE2\x82\xAC");  // the euro sign is no space
}

}  // namespace
}  // namespace binscope
