// labels_test.cpp - group labels of the final rows and sample labels.
#include "labels.hpp"

#include <gtest/gtest.h>

namespace binscope {
namespace {

using Labels = std::vector<std::string>;

TEST(GroupLabels, OneLabelPerRunOfRows) {
    const Labels names = {"a", "b", "c"};
    EXPECT_EQ(group_labels({0, 0, 2, 2}, names), (Labels{"a", "c"}));
    EXPECT_EQ(group_labels({1}, names), (Labels{"b"}));
    EXPECT_EQ(group_labels({}, names), Labels{});
    EXPECT_EQ(group_labels({2, 7, 7}, names), (Labels{"c", "group_7"}));
}

TEST(SampleLabels, StemsUnlessTheCountMatches) {
    EXPECT_EQ(label_samples({"a/x.bw", "b/y.bigWig"}, std::nullopt), (Labels{"x", "y"}));
    EXPECT_EQ(label_samples({"x.tar.bw", ".bw", "x", "dir/..", "bad\xFF.bw"}, std::nullopt),
              (Labels{"x.tar", ".bw", "x", "sample", "bad\xEF\xBF\xBD"}));
    EXPECT_EQ(label_samples({"https://h/x/sig.bigWig?a=b/c.bw#f", "HTTP://h/a.b/#x/y.bw", "http://h?a/b.bw"},
                            std::nullopt),
              (Labels{"sig", "a", "sample"}));
    EXPECT_EQ(label_samples({"a.bw", "b.bw"}, Labels{"1", "2", "3"}), (Labels{"a", "b"}));
    EXPECT_EQ(label_samples({"a.bw", "b.bw"}, Labels{"", ""}), (Labels{"", ""}));
}

}  // namespace
}  // namespace binscope
