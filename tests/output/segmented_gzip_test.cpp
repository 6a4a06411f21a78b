// segmented_gzip_test.cpp - the gzip member written from segments on
// several threads, and the matrix file written through it.
#include "output/segmented_gzip.hpp"

#include <zlib.h>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>

#include "output/matrix.hpp"
#include "output/matrix_text.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using binscope::testing::read_file;
using binscope::testing::TempDir;

// Segment texts of mixed sizes and compressibility, one of them empty and
// one larger than the compressor's first output buffer.
std::vector<std::string> segment_texts() {
    std::mt19937 rng(11);
    std::vector<std::string> texts;
    for (int k = 0; k < 40; ++k) {
        const std::size_t size = k == 7 ? 0 : k == 20 ? 700000 : rng() % 50000;
        std::string t(size, ' ');
        for (char& c : t) c = static_cast<char>(k % 3 == 0 ? '!' + rng() % 90 : 'a' + rng() % 3);
        texts.push_back(std::move(t));
    }
    return texts;
}

// The decompressed text when the file is exactly one gzip member, else a
// failure message.
std::string single_member_text(const std::string& raw) {
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, 15 + 16), Z_OK);
    std::string out(1 << 16, '\0'), text;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
    z.avail_in = static_cast<uInt>(raw.size());
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        rc = inflate(&z, Z_NO_FLUSH);
        text.append(out.data(), out.size() - z.avail_out);
    }
    const bool whole = rc == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return whole ? text : "not a single gzip member";
}

TEST(SegmentedGzip, OneMemberOfTheSegmentsInOrderWhateverTheThreadCount) {
    TempDir dir;
    const auto texts = segment_texts();
    std::string whole;
    for (const auto& t : texts) whole += t;
    auto fill = [&](std::size_t k, TextBuffer& out) { out.append(texts[k]); };

    std::string first;
    for (std::size_t threads : {1, 3, 8}) {
        const std::string path = dir.file(fmt::format("t{}.gz", threads));
        ASSERT_TRUE(write_segmented_gzip(path, texts.size(), threads, fill));
        const std::string raw = read_file(path);
        EXPECT_EQ(raw.substr(0, 10), std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10));
        EXPECT_EQ(single_member_text(raw), whole) << threads << " threads";
        if (first.empty())
            first = raw;
        else
            EXPECT_EQ(raw, first) << "the bytes depend on the thread count";
    }

    // No segment at all still makes a valid, empty member.
    const std::string empty = dir.file("empty.gz");
    ASSERT_TRUE(write_segmented_gzip(empty, 0, 4, [](std::size_t, TextBuffer&) {}));
    EXPECT_EQ(single_member_text(read_file(empty)), "");
}

TEST(SegmentedGzip, FailuresStopEveryThread) {
    const auto texts = segment_texts();
    auto fill = [&](std::size_t k, TextBuffer& out) { out.append(texts[k]); };
    TempDir dir;
    auto missing = write_segmented_gzip(dir.file("no/such/dir.gz"), texts.size(), 2, fill);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().chain(), std::vector<std::string>{"No such file or directory (os error 2)"});
    for (std::size_t threads : {1, 4}) {
        auto full = write_segmented_gzip("/dev/full", texts.size(), threads, fill);
        ASSERT_FALSE(full);
        EXPECT_EQ(full.error().chain(), std::vector<std::string>{"No space left on device (os error 28)"});
    }
    auto throwing = [&](std::size_t k, TextBuffer& out) {
        if (k == 25) throw std::runtime_error("no memory for segment 25");
        out.append(texts[k]);
    };
    EXPECT_THROW((void)write_segmented_gzip(dir.file("x.gz"), texts.size(), 4, throwing), std::runtime_error);
}

// The matrix file, cut into many segments, reads back as the header line
// and the rows formatted in one piece.
TEST(SegmentedGzip, MatrixFileTextEqualsTheRowsInOnePiece) {
    Matrix m;
    m.cols = 300;
    m.group_names = {"genes"};
    std::mt19937 rng(5);
    std::lognormal_distribution<float> signal(0.0f, 2.0f);
    const std::size_t rows = 4000;
    m.values.resize(rows * m.cols);
    for (float& v : m.values) v = rng() % 5 == 0 ? std::numeric_limits<float>::quiet_NaN() : signal(rng);
    for (std::size_t r = 0; r < rows; ++r) {
        Region region;
        region.chrom = fmt::format("chr{}", 1 + r % 22);
        region.blocks = {{static_cast<std::int64_t>(r) * 1000, static_cast<std::int64_t>(r) * 1000 + 500}};
        region.name = fmt::format("g{}", r);
        region.strand = r % 2 ? U'-' : U'+';
        m.regions.push_back(region);
    }
    m.group_boundaries = {0, rows};
    Params params;
    params.referencePoint = RefPoint::TSS;
    params.binSize = 10;
    params.afterRegionStartLength = 2500;  // 300 columns for one sample
    params.scoreFileName = {"a.bw"};

    TextBuffer text;
    text.append(matrix_header_line(m, {"a"}, params));
    append_matrix_rows(text, m, 0, rows);
    ASSERT_GT(text.size(), std::size_t{8} << 20) << "the matrix should span several segments";
    const std::string_view want = text.view();

    TempDir dir;
    for (std::size_t threads : {1, 2}) {
        params.numberOfProcessors = threads;
        const std::string path = dir.file(fmt::format("p{}.gz", threads));
        ASSERT_TRUE(write_matrix_file(path, m, {"a"}, params));
        const std::string got = single_member_text(read_file(path));
        // The header records the thread count; the rows must match byte for byte.
        EXPECT_EQ(got.substr(got.find('\n')), want.substr(want.find('\n'))) << threads << " threads";
    }
}

}  // namespace
}  // namespace binscope
