// small_text_test.cpp - texts held in place and on the heap, each side of
// the in-place limit, through copies, moves and assignments.
#include "small_text.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace binscope {
namespace {

TEST(SmallText, KeepsEveryTextThroughCopiesMovesAndAssignments) {
    std::vector<std::string> texts;
    for (const std::size_t length : {0, 1, 7, 8, 14, 15, 16, 17, 40})
        texts.emplace_back(length, 'a');
    texts.push_back(std::string("\0x\0", 3));  // bytes of zero are text too
    for (const std::string& a : texts)
        for (const std::string& b : texts) {
            SCOPED_TRACE(a.size() * 100 + b.size());
            SmallText x(a), y(b);
            EXPECT_EQ(x.view(), a);
            SmallText copy(x);
            y = copy;  // the old text of y, either form, is given back
            EXPECT_EQ(y.view(), a);
            SmallText moved(std::move(copy));
            EXPECT_EQ(moved.view(), a);
            EXPECT_TRUE(copy.empty());
            SmallText target(b);
            target = std::move(moved);
            EXPECT_EQ(target.view(), a);
            target = target;
            EXPECT_EQ(target.view(), a);
            EXPECT_EQ(target == b, a == b);
        }
}

}  // namespace
}  // namespace binscope
