// error_test.cpp - error chains and the final report.
#include "error.hpp"

#include <fmt/format.h>

#include <gtest/gtest.h>

#include <cerrno>

namespace binscope {
namespace {

TEST(ErrorReport, SeveralCausesAreNumberedOutermostFirst) {
    const Error root = Error::from_errno(ENOENT);
    const Error e = Error("opening bigwig x.bw").caused_by(root).context("Opening x.bw");
    EXPECT_EQ(e.message(), "Opening x.bw");
    EXPECT_EQ(format_error_report(e), "Error: Opening x.bw\n\nCaused by:\n    0: opening bigwig x.bw\n    1: " +
                                          root.message() + "\n");
    EXPECT_EQ(root.message(), "No such file or directory (os error 2)");

    Error many("top");
    for (int i = 0; i < 11; ++i) many = std::move(many).caused_by(Error(fmt::format("c{}", i)));
    const std::string report = format_error_report(many);
    EXPECT_NE(report.find("\n    9: c9\n   10: c10\n"), std::string::npos) << report;
}

TEST(ErrorReport, LinesOfLongMessagesContinueUnderTheirCause) {
    EXPECT_EQ(format_error_report(Error()), "Error: \n");  // no message at all: still the report's shape
    EXPECT_EQ(format_error_report(Error("a\nb").caused_by(Error("c\nd"))),
              "Error: a\nb\n\nCaused by:\n    c\n    d\n");
    EXPECT_EQ(format_error_report(Error("a").caused_by(Error("c\n\nd")).caused_by(Error("e\nf"))),
              "Error: a\n\nCaused by:\n    0: c\n\n       d\n    1: e\n       f\n");
}

}  // namespace
}  // namespace binscope
