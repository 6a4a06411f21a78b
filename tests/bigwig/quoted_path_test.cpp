// quoted_path_test.cpp - the quoted path of the "Error when opening: " line.
#include <gtest/gtest.h>

#include "bigwig/quoted_path.hpp"

namespace binscope::bigwig {
namespace {

TEST(QuotedPath, EscapesQuotesBackslashesControlsAndInvalidBytes) {
    EXPECT_EQ(quoted_path("data/a b.bw"), "\"data/a b.bw\"");
    EXPECT_EQ(quoted_path(std::string("q\"b\\n\nr\rt\tz\0e", 13)), "\"q\\\"b\\\\n\\nr\\rt\\tz\\0e\"");
    EXPECT_EQ(quoted_path("\x1b[\x7f"), "\"\\u{1b}[\\u{7f}\"");
    EXPECT_EQ(quoted_path("\xC2\x85|\xC3\xA9|\xE2\x82\xAC"), "\"\\u{85}|\xC3\xA9|\xE2\x82\xAC\"");
    // Bytes that are not valid UTF-8, including overlong forms and surrogates.
    EXPECT_EQ(quoted_path("a\xFF"
                          "b\xC0\xAF"
                          "c\xED\xA0\x80"),
              "\"a\\xFFb\\xC0\\xAFc\\xED\\xA0\\x80\"");
    EXPECT_EQ(quoted_path("\xE2\x82"), "\"\\xE2\\x82\"");
}

}  // namespace
}  // namespace binscope::bigwig
