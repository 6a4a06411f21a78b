// utf8_test.cpp - UTF-8 checks, lossy conversion and white space.
#include "utf8.hpp"

#include <gtest/gtest.h>

namespace binscope {
namespace {

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
