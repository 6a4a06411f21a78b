// error_test.cpp - error chains and the final report.
#include "error.hpp"

#include <fmt/format.h>

#include <gtest/gtest.h>

#include <cerrno>

namespace binscope {
namespace {

TEST(ErrorReport, SeveralCausesAreNumberedOutermostFirst) {
    const Error root = Error::from_errno(ENOENT);
    const Error e = root.context("opening bigwig x.bw").context("Opening x.bw");
    EXPECT_EQ(e.message(), "Opening x.bw");
    EXPECT_EQ(format_error_report(e), "Error: Opening x.bw\n\nCaused by:\n    0: opening bigwig x.bw\n    1: " +
                                          root.message() + "\n");
    EXPECT_EQ(root.message(), "No such file or directory (os error 2)");

    Error many("c10");
    for (int i = 9; i >= 0; --i) many = std::move(many).context(fmt::format("c{}", i));
    many = std::move(many).context("top");
    const std::string report = format_error_report(many);
    EXPECT_NE(report.find("\n    9: c9\n   10: c10\n"), std::string::npos) << report;
}

TEST(ErrorReport, LinesOfLongMessagesContinueUnderTheirCause) {
    EXPECT_EQ(format_error_report(Error()), "Error: \n");  // no message at all: still the report's shape
    EXPECT_EQ(format_error_report(Error("c\nd").context("a\nb")),
              "Error: a\nb\n\nCaused by:\n    c\n    d\n");
    EXPECT_EQ(format_error_report(Error("e\nf").context("c\n\nd").context("a")),
              "Error: a\n\nCaused by:\n    0: c\n\n       d\n    1: e\n       f\n");
}

}  // namespace
}  // namespace binscope
