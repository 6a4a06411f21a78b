// text_input_test.cpp - line reading, integer parsing, UTF-8 and path helpers.
#include "text_input.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/test_files.hpp"
#include "text_input_path.hpp"
#include "text_input_utf8.hpp"

namespace binscope {
namespace {

using testing::TempDir;
using testing::write_file;

// Every line of the file with its number, or the error text and the line
// number it was reported on.
struct ReadResult {
    std::vector<std::pair<std::size_t, std::string>> lines;
    std::string error;
    std::size_t error_line = 0;
};

ReadResult read_all(const std::string& path) {
    ReadResult result;
    auto reader = LineReader::open(path);
    if (!reader) {
        result.error = reader.error().message();
        return result;
    }
    while (true) {
        auto next = reader->next();
        if (!next) {
            result.error = next.error().message();
            result.error_line = reader->line_number();
            return result;
        }
        if (!*next) return result;
        result.lines.emplace_back(reader->line_number(), std::string(**next));
    }
}

TEST(ParseInt64, AcceptsOnlySignAndDigits) {
    EXPECT_EQ(parse_int64("0").value(), 0);
    EXPECT_EQ(parse_int64("+42").value(), 42);
    EXPECT_EQ(parse_int64("-5").value(), -5);
    EXPECT_EQ(parse_int64("007").value(), 7);
    EXPECT_EQ(parse_int64("9223372036854775807").value(), INT64_MAX);
    EXPECT_EQ(parse_int64("-9223372036854775808").value(), INT64_MIN);

    const std::pair<const char*, const char*> bad[] = {
        {"", "cannot parse integer from empty string"},
        {"+", "invalid digit found in string"},
        {"-", "invalid digit found in string"},
        {" 1", "invalid digit found in string"},
        {"1 ", "invalid digit found in string"},
        {"1.5", "invalid digit found in string"},
        {"1e3", "invalid digit found in string"},
        {"+-1", "invalid digit found in string"},
        {"9223372036854775808", "number too large to fit in target type"},
        {"-9223372036854775809", "number too small to fit in target type"},
        // The overflow is met before the letter.
        {"99999999999999999999x", "number too large to fit in target type"},
    };
    for (const auto& [text, message] : bad) {
        auto parsed = parse_int64(text);
        ASSERT_FALSE(parsed) << text;
        EXPECT_EQ(parsed.error().chain(), std::vector<std::string>{message}) << text;
    }
}

TEST(LineReader, NumbersEveryLineAndStripsLineBreaks) {
    TempDir dir;
    write_file(dir.file("a.txt"), "one\r\n\ntwo\r\r\n\r\nmid\rdle \nlast");
    const ReadResult result = read_all(dir.file("a.txt"));
    EXPECT_EQ(result.error, "");
    const std::vector<std::pair<std::size_t, std::string>> expected = {
        {1, "one"}, {2, ""}, {3, "two"}, {4, ""}, {5, "mid\rdle "}, {6, "last"}};
    EXPECT_EQ(result.lines, expected);

    write_file(dir.file("empty.txt"), "");
    EXPECT_TRUE(read_all(dir.file("empty.txt")).lines.empty());
    write_file(dir.file("newline.txt"), "x\n");
    EXPECT_EQ(read_all(dir.file("newline.txt")).lines.size(), 1u);
}

TEST(LineReader, LinesLongerThanTheBufferStayWhole) {
    TempDir dir;
    // Lines that end exactly at, and straddle, buffer boundaries.
    const std::string a(LineReader::buffer_size - 1, 'a');
    const std::string b(LineReader::buffer_size * 3 + 17, 'b');
    const std::string huge(10 << 20, 'c');
    write_file(dir.file("long.txt"), a + "\n" + b + "\r\nshort\n" + huge);
    const ReadResult result = read_all(dir.file("long.txt"));
    ASSERT_EQ(result.error, "");
    ASSERT_EQ(result.lines.size(), 4u);
    EXPECT_EQ(result.lines[0].second, a);
    EXPECT_EQ(result.lines[1].second, b);
    EXPECT_EQ(result.lines[2].second, "short");
    EXPECT_EQ(result.lines[3].second, huge);
}

TEST(LineReader, InvalidUtf8IsAnErrorOnItsLine) {
    TempDir dir;
    // A NUL byte is valid text; the lone continuation byte on line 3 is not.
    write_file(dir.file("bad.txt"), std::string("ok\nnul\0here\nbad\x80\nnever\n", 23));
    ReadResult result = read_all(dir.file("bad.txt"));
    EXPECT_EQ(result.error, "stream did not contain valid UTF-8");
    EXPECT_EQ(result.error_line, 3u);
    ASSERT_EQ(result.lines.size(), 2u);
    EXPECT_EQ(result.lines[1].second, std::string("nul\0here", 8));

    // A multi-byte character split across a buffer boundary is fine; one
    // cut short by the end of the file is not.
    const std::string e_acute = "\xC3\xA9";
    write_file(dir.file("split.txt"), std::string(LineReader::buffer_size - 1, 'x') + e_acute + "\n\xC3");
    result = read_all(dir.file("split.txt"));
    EXPECT_EQ(result.lines.size(), 1u);
    EXPECT_EQ(result.error, "stream did not contain valid UTF-8");
    EXPECT_EQ(result.error_line, 2u);
}

TEST(LineReader, SystemErrors) {
    TempDir dir;
    EXPECT_EQ(read_all(dir.file("missing.txt")).error, "No such file or directory (os error 2)");
    const ReadResult directory = read_all(dir.path().string());
    EXPECT_EQ(directory.error, "Is a directory (os error 21)");
    EXPECT_EQ(directory.error_line, 1u);
    if (geteuid() != 0) {  // root reads anything
        write_file(dir.file("locked.txt"), "x\n");
        chmod(dir.file("locked.txt").c_str(), 0);
        EXPECT_EQ(read_all(dir.file("locked.txt")).error, "Permission denied (os error 13)");
    }
}

TEST(Utf8, LossyReplacesEachIllFormedPart) {
    EXPECT_EQ(to_utf8_lossy("plain \xC3\xA9"), "plain \xC3\xA9");
    // A truncated three-byte sequence is one part; two stray bytes are two.
    EXPECT_EQ(to_utf8_lossy("a\xE2\x82z\x80\xFF"), "a\xEF\xBF\xBDz\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_FALSE(is_valid_utf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(is_valid_utf8("\xC0\xAF"));      // overlong
    EXPECT_TRUE(is_valid_utf8("\xF0\x9F\x98\x80"));
}

TEST(Utf8, TrimsUnicodeWhiteSpace) {
    EXPECT_EQ(trim_space(" \t\xC2\xA0name x\xE3\x80\x80\r"), "name x");
    EXPECT_EQ(trim_space("\xE2\x80\x83"), "");
    // A non-space character ending in a byte that looks like a space code.
    EXPECT_EQ(trim_space("\xE2\x82\xAC"), "\xE2\x82\xAC");
}

TEST(PathNames, FileNameStemAndExtension) {
    EXPECT_EQ(path_file_name("dir/a.b.bed").value(), "a.b.bed");
    EXPECT_EQ(path_file_name("dir/sub/").value(), "sub");
    EXPECT_EQ(path_file_name("dir/.").value(), "dir");
    EXPECT_FALSE(path_file_name("dir/.."));
    EXPECT_FALSE(path_file_name("/"));
    EXPECT_EQ(file_stem("a.b.bed"), "a.b");
    EXPECT_EQ(file_stem(".bed"), ".bed");
    EXPECT_EQ(file_stem("peaks"), "peaks");
    EXPECT_EQ(file_extension("a.b.bed").value(), "bed");
    EXPECT_FALSE(file_extension(".gtf"));
    EXPECT_EQ(file_extension("x.").value(), "");
}

}  // namespace
}  // namespace binscope
