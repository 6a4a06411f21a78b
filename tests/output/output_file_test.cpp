// output_file_test.cpp - creation, buffering, gzip framing and write errors.
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
using binscope::testing::read_gzip_file;
using binscope::testing::TempDir;
using binscope::testing::write_file;

// Text that compresses poorly, so the output spans many chunks.
std::string noisy_text(std::size_t size) {
    std::mt19937 rng(3);
    std::string text(size, ' ');
    for (char& c : text) c = static_cast<char>('!' + rng() % 90);
    return text;
}

TEST(OutputFile, CreatesWithUmaskedModeAndTruncates) {
    TempDir dir;
    const std::string path = dir.file("out.txt");
    write_file(path, "old content that is longer");
    const mode_t old_mask = ::umask(027);
    auto file = BufferedFile::create(path);
    const std::string fresh = dir.file("fresh.txt");
    auto fresh_file = BufferedFile::create(fresh);
    ::umask(old_mask);
    ASSERT_TRUE(file && fresh_file);
    ASSERT_TRUE(file->append("new"));
    ASSERT_TRUE(file->close());
    ASSERT_TRUE(fresh_file->close());
    EXPECT_EQ(read_file(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(fresh.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(OutputFile, BufferedAppendsOfEverySizeArriveInOrder) {
    TempDir dir;
    const std::string path = dir.file("out.txt");
    const std::string text = noisy_text(100000);
    auto file = BufferedFile::create(path);
    ASSERT_TRUE(file);
    // Pieces below, at and above the buffer size, crossing its edge.
    std::size_t pos = 0;
    const std::size_t sizes[] = {1, 8191, 2, 8192, 20000, 0, 5, 16384, 3};
    for (std::size_t i = 0; pos < text.size(); ++i) {
        const std::size_t n = std::min(sizes[i % std::size(sizes)], text.size() - pos);
        ASSERT_TRUE(file->append(std::string_view(text).substr(pos, n)));
        pos += n;
    }
    ASSERT_TRUE(file->close());
    EXPECT_EQ(read_file(path), text);
}

TEST(OutputFile, ErrorsAreTheSystemMessages) {
    TempDir dir;
    auto missing = BufferedFile::create(dir.file("no/such/dir.txt"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().chain(), std::vector<std::string>{"No such file or directory (os error 2)"});

    auto full = BufferedFile::create("/dev/full");
    ASSERT_TRUE(full);
    // Small text stays buffered; the failure shows at the flush.
    ASSERT_TRUE(full->append("x"));
    auto closed = full->close();
    ASSERT_FALSE(closed);
    EXPECT_EQ(closed.error().chain(), std::vector<std::string>{"No space left on device (os error 28)"});

    auto gzip = GzipWriter::create("/dev/full");
    ASSERT_TRUE(gzip);
    Status status = gzip->write(noisy_text(200000));
    if (status) status = gzip->finish();
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().message(), "No space left on device (os error 28)");
}

TEST(GzipWriter, SingleMemberWithFixedHeaderAndTrailer) {
    TempDir dir;
    const std::string path = dir.file("out.gz");
    const std::string text = noisy_text(150000) + std::string(300000, 'a');
    auto gzip = GzipWriter::create(path);
    ASSERT_TRUE(gzip);
    ASSERT_TRUE(gzip->write(std::string_view(text).substr(0, 10)));
    ASSERT_TRUE(gzip->write(""));
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

    // Exactly one member: a raw inflate of the body ends right before the trailer.
    z_stream zs{};
    ASSERT_EQ(inflateInit2(&zs, -15), Z_OK);
    std::string out(text.size() + 1, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()) + 10);
    zs.avail_in = static_cast<uInt>(raw.size() - 10);
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(zs.avail_in, 8u);
    out.resize(zs.total_out);
    inflateEnd(&zs);
    EXPECT_EQ(out, text);
}

TEST(GzipWriter, EmptyText) {
    TempDir dir;
    const std::string path = dir.file("empty.gz");
    auto gzip = GzipWriter::create(path);
    ASSERT_TRUE(gzip);
    ASSERT_TRUE(gzip->finish());
    EXPECT_EQ(read_gzip_file(path), "");
}

}  // namespace
}  // namespace binscope
