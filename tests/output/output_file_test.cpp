// output_file_test.cpp - file creation, gzip framing and write errors.
#include "output/gzip_writer.hpp"
#include "output/output_file.hpp"

#include <random>
#include <string>
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <zlib.h>

#include "support/test_files.hpp"

namespace binscope {
namespace {

using binscope::testing::read_file;
using binscope::testing::TempDir;

// Text that compresses poorly, so the output spans many chunks.
std::string noisy_text(std::size_t size) {
    std::mt19937 rng(3);
    std::string text(size, ' ');
    for (char& c : text) c = static_cast<char>('!' + rng() % 90);
    return text;
}

TEST(OutputFile, TruncatesAndCreatesWithUmaskedMode) {
    TempDir dir;
    const std::string old_path = dir.file("old.txt");
    const std::string new_path = dir.file("new.txt");
    binscope::testing::write_file(old_path, "old content that is longer");
    const mode_t old_mask = ::umask(027);
    auto old_file = BufferedFile::create(old_path);
    auto new_file = BufferedFile::create(new_path);
    ::umask(old_mask);
    ASSERT_TRUE(old_file && new_file);
    ASSERT_TRUE(old_file->append("new") && old_file->close() && new_file->close());
    EXPECT_EQ(read_file(old_path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(new_path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(OutputFile, ErrorsAreTheSystemMessages) {
    TempDir dir;
    auto missing = GzipWriter::create(dir.file("no/such/dir.gz"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().chain(), std::vector<std::string>{"No such file or directory (os error 2)"});

    const std::vector<std::string> full{"No space left on device (os error 28)"};
    auto buffered = BufferedFile::create("/dev/full");
    ASSERT_TRUE(buffered && buffered->append("x"));  // still in the buffer
    auto closed = buffered->close();
    ASSERT_FALSE(closed);
    EXPECT_EQ(closed.error().chain(), full);

    auto gzip = GzipWriter::create("/dev/full");
    ASSERT_TRUE(gzip);
    auto written = gzip->write(noisy_text(200000));
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().chain(), full);
}

TEST(GzipWriter, SingleMemberWithFixedHeaderAndTrailer) {
    TempDir dir;
    const std::string path = dir.file("out.gz");
    const std::string text = noisy_text(150000) + std::string(300000, 'a');
    auto gzip = GzipWriter::create(path);
    ASSERT_TRUE(gzip);
    ASSERT_TRUE(gzip->write(std::string_view(text).substr(0, 10)));
    ASSERT_TRUE(gzip->write(std::string_view(text).substr(10)));
    ASSERT_TRUE(gzip->finish());

    const std::string raw = read_file(path);
    ASSERT_GT(raw.size(), 18u);
    EXPECT_EQ(raw.substr(0, 10), std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10));
    auto le32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(raw[at + i]);
        return v;
    };
    EXPECT_EQ(le32(raw.size() - 8), crc32(0, reinterpret_cast<const Bytef*>(text.data()), text.size()));
    EXPECT_EQ(le32(raw.size() - 4), text.size());

    EXPECT_EQ(binscope::testing::read_gzip_file(path), text);
}

}  // namespace
}  // namespace binscope
