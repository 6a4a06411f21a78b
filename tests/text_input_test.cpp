// text_input_test.cpp - line reading.
#include "text_input.hpp"
#include "text_input_internal.hpp"

#include <gtest/gtest.h>

#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

using Chain = std::vector<std::string>;

// Numbered lines of a file, then the error chain if any.
struct ReadResult {
    std::vector<std::pair<std::size_t, std::string>> lines;
    Chain error;
};

ReadResult read_all(const std::string& path) {
    ReadResult result;
    auto status = for_each_line(path, {"opening", "reading"}, [&](std::string_view line, std::size_t number) -> Status {
        result.lines.emplace_back(number, std::string(line));
        return {};
    });
    if (!status) result.error = status.error().chain();
    return result;
}

TEST(ForEachLine, NumbersEveryLineAndKeepsLongLinesWhole) {
    TempDir dir;
    // Lines that end exactly at, and straddle, buffer boundaries.
    const std::string a(detail::LineReader::buffer_size - 1, 'a');
    const std::string b(detail::LineReader::buffer_size * 3 + 17, 'b');
    const std::string huge(10 << 20, 'c');
    write_file(dir.file("a.txt"), "one\r\n\ntwo\r\r\nmid\rdle \n" + a + "\n" + b + "\r\n" + huge);
    const ReadResult result = read_all(dir.file("a.txt"));
    EXPECT_TRUE(result.error.empty());
    const std::vector<std::pair<std::size_t, std::string>> expected = {
        {1, "one"}, {2, ""}, {3, "two"}, {4, "mid\rdle "}, {5, a}, {6, b}, {7, huge}};
    EXPECT_TRUE(result.lines == expected);

    write_file(dir.file("empty.txt"), "");
    EXPECT_TRUE(read_all(dir.file("empty.txt")).lines.empty());
}

TEST(ForEachLine, InvalidUtf8IsAnErrorOnItsLine) {
    TempDir dir;
    // A NUL byte is valid text; the lone continuation byte on line 3 is not.
    write_file(dir.file("bad.txt"), std::string("ok\nnul\0here\nbad\x80\nnever\n", 23));
    ReadResult result = read_all(dir.file("bad.txt"));
    EXPECT_EQ(result.error, (Chain{"reading line 3", "stream did not contain valid UTF-8"}));
    ASSERT_EQ(result.lines.size(), 2u);
    EXPECT_EQ(result.lines[1].second, std::string("nul\0here", 8));

    // A character split by a buffer boundary is fine; one cut short by the
    // end of the file is not.
    write_file(dir.file("split.txt"), std::string(detail::LineReader::buffer_size - 1, 'x') + "\xC3\xA9\n\xC3");
    result = read_all(dir.file("split.txt"));
    EXPECT_EQ(result.lines.size(), 1u);
    EXPECT_EQ(result.error.at(0), "reading line 2");
}

}  // namespace
}  // namespace binscope
