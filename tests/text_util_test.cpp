// text_util_test.cpp - decimal integers.
#include "text_util.hpp"

#include <gtest/gtest.h>

namespace binscope {
namespace {

TEST(ParseInteger, AcceptsOnlySignAndDigits) {
    EXPECT_EQ(parse_int64("+42").value(), 42);
    EXPECT_EQ(parse_int64("-007").value(), -7);
    EXPECT_EQ(parse_int64("9223372036854775807").value(), INT64_MAX);
    EXPECT_EQ(parse_int64("-9223372036854775808").value(), INT64_MIN);
    EXPECT_EQ(parse_integer<std::size_t>("+18446744073709551615").value(), SIZE_MAX);
    struct Case {
        const char* text;
        const char* in_order;  // the region files' message
        const char* command_line;
    };
    const Case bad[] = {
        {"", "cannot parse integer from empty string", "cannot parse integer from empty string"},
        {"-", "invalid digit found in string", "invalid digit found in string"},
        {" 1", "invalid digit found in string", "invalid digit found in string"},
        {"1.5", "invalid digit found in string", "invalid digit found in string"},
        {"+-1", "invalid digit found in string", "invalid digit found in string"},
        {"9223372036854775808", "number too large to fit in target type", "number too large to fit in target type"},
        {"-9223372036854775809", "number too small to fit in target type", "number too small to fit in target type"},
        // Overflow seen first, or the bad character wherever it stands.
        {"99999999999999999999x", "number too large to fit in target type", "invalid digit found in string"},
    };
    for (const Case& c : bad) {
        EXPECT_EQ(parse_int64(c.text).error().message(), c.in_order) << c.text;
        EXPECT_EQ(parse_integer<std::int64_t>(c.text, DigitCheck::whole_text_first).error().message(),
                  c.command_line)
            << c.text;
    }
    EXPECT_EQ(parse_integer<std::size_t>("-1").error().message(), "invalid digit found in string");
    EXPECT_EQ(parse_integer<std::size_t>("18446744073709551616").error().message(),
              "number too large to fit in target type");
}

}  // namespace
}  // namespace binscope
