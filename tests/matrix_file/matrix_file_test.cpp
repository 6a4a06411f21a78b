// matrix_file_test.cpp - reading matrix files back: written ones value for
// value, other writers' variants, and every refusal of a bad file.
#include "matrix_file/matrix_file_internal.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <sys/stat.h>
#include <thread>

#include "output/matrix.hpp"
#include "output/matrix_text.hpp"
#include "output/number_format.hpp"
#include "support/layout_inputs.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;
using Json = nlohmann::json;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// The text of one gzip member.
std::string gunzip(const std::string& bytes) {
    z_stream z{};
    EXPECT_EQ(inflateInit2(&z, 15 + 16), Z_OK);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    std::string out;
    char buffer[1 << 16];
    int rc = Z_OK;
    while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer);
        z.avail_out = sizeof buffer;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - z.avail_out);
    }
    EXPECT_EQ(rc, Z_STREAM_END);
    inflateEnd(&z);
    return out;
}

// The error chain in one line, outermost first, or "ok".
std::string outcome(const Result<MatrixFile>& file) {
    if (file) return "ok";
    std::string text;
    for (const std::string& message : file.error().chain()) text += (text.empty() ? "" : " | ") + message;
    return text;
}

std::string float_text(float value) {
    char buffer[kNumberTextMax];
    return std::string(buffer, write_float_shortest(buffer, value));
}

// A matrix to write: regions in group order, values from `value`.
struct Written {
    Matrix matrix;
    std::vector<std::string> samples;
    Params params;
};

Written make_matrix(Params params, std::vector<std::string> samples, std::vector<Group> groups,
                    std::vector<Region> regions, const std::function<float(std::size_t)>& value) {
    Written w{.matrix = {}, .samples = std::move(samples), .params = std::move(params)};
    w.params.numberOfProcessors = 2;
    Matrix& m = w.matrix;
    m.cols = static_cast<std::size_t>(bins_per_sample(w.params)) * w.samples.size();
    m.region_set = {.regions = std::move(regions), .groups = std::move(groups)};
    for (std::size_t r = 0; r < m.region_set.regions.size(); ++r) m.row_regions.push_back(r);
    for (std::size_t i = 0; i < m.rows() * m.cols; ++i) m.values.push_back(value(i));
    m.group_boundaries = compute_group_boundaries(m);
    return w;
}

// The file of a written matrix, as bytes.
std::string written_bytes(const Written& w) {
    TempDir dir;
    const Status status = write_matrix_file(dir.file("m.gz"), w.matrix, w.samples, w.params);
    EXPECT_TRUE(status);
    return read_file(dir.file("m.gz"));
}

// Every value bit for bit (a NaN as a NaN), every region and label.
void expect_read_as_written(const Written& w, const MatrixFile& file) {
    const Matrix& in = w.matrix;
    const Matrix& out = file.matrix;
    ASSERT_EQ(out.rows(), in.rows());
    ASSERT_EQ(out.cols, in.cols);
    for (std::size_t i = 0; i < in.values.size(); ++i) {
        const float a = in.values[i], b = out.values[i];
        if (std::isnan(a)) {
            EXPECT_TRUE(std::isnan(b)) << i;
        } else {
            EXPECT_EQ(std::bit_cast<std::uint32_t>(a), std::bit_cast<std::uint32_t>(b)) << i << ": " << a;
        }
    }
    for (std::size_t r = 0; r < in.rows(); ++r) {
        const Region &a = in.region(r), &b = out.region(r);
        EXPECT_EQ(std::tie(a.chrom, a.blocks, a.name, a.strand), std::tie(b.chrom, b.blocks, b.name, b.strand)) << r;
        EXPECT_EQ(b.score, float_text(row_score(in.row(r), in.cols))) << r;
        EXPECT_EQ(out.region_set.groups.at(b.group), in.region_set.groups[a.group]) << r;
    }
    EXPECT_EQ(out.group_boundaries, in.group_boundaries);
    EXPECT_EQ(out.sample_labels, w.samples);
    EXPECT_EQ(file.header.sample_labels, w.samples);
    const std::size_t n = w.samples.size();
    EXPECT_EQ(file.header.upstream, std::vector<std::int64_t>(n, w.params.beforeRegionStartLength));
    EXPECT_EQ(file.header.downstream, std::vector<std::int64_t>(n, w.params.afterRegionStartLength));
    EXPECT_EQ(file.header.body, std::vector<std::int64_t>(n, w.params.regionBodyLength));
    EXPECT_EQ(file.header.bin_size, std::vector<std::int64_t>(n, w.params.binSize));
    EXPECT_EQ(file.header.unscaled_5_prime, std::vector<std::int64_t>(n, w.params.unscaled5prime));
    EXPECT_EQ(file.header.unscaled_3_prime, std::vector<std::int64_t>(n, w.params.unscaled3prime));
    EXPECT_EQ(file.header.is_reference_point(), w.params.referencePoint.has_value());
    EXPECT_EQ(file.header.group_boundaries, in.group_boundaries);
}

// Floats whose text is easy to get wrong, then random bit patterns.
float hard_value(std::size_t i) {
    static const float special[] = {kNaN, kInf, -kInf, -0.0f, 0.0f, std::numeric_limits<float>::denorm_min(),
                                    -std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::min(),
                                    std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(), 0.1f,
                                    1e-7f, 3.0f, 1.0f / 3.0f, std::nextafter(1.0f, 2.0f), 16777216.0f, -2.5e-38f};
    if (i < std::size(special)) return special[i];
    std::mt19937 rng(static_cast<std::uint32_t>(i));
    return std::bit_cast<float>(static_cast<std::uint32_t>(rng()));
}

TEST(MatrixFileReader, ReadsWrittenMatricesBackExactly) {
    const std::vector<Region> regions = {
        region({{100, 200}}, U'+', "chr1", 0, "a"),
        region({{100, 150}, {300, 350}, {500, 600}}, U'-', "chr1", 0, "spliced"),
        region({{-5, 7}}, U'.', "chrUn_é", 0, "name with spaces"),
        region({{0, 1}}, U'+', "chr2", 1, "b"),
        region({{10, 20}, {30, 40}}, U'+', "chr2", 1, "b2"),
        region({{99, 100}}, U'-', "chrX", 2, "only"),
    };
    const Written cases[] = {
        make_matrix(reference(RefPoint::TSS, 20, 30), {"s1", "s\"2\t", "ü"}, {"g one", "g\"two\t", "third"}, regions,
                    hard_value),
        make_matrix(scaled(10, 10, 30, 10, 10, 10), {"only"}, {"genes", "more", "x"}, regions,
                    [](std::size_t i) { return hard_value(i + 1000); }),
        make_matrix(reference(RefPoint::Center, 0, 10, 10), {"a", "b"}, {"genes"}, {},
                    [](std::size_t) { return 0.0f; }),
    };
    for (const Written& w : cases) {
        SCOPED_TRACE(w.samples.front());
        const auto file = read_matrix_bytes(written_bytes(w), "m.gz", 2);
        ASSERT_TRUE(file) << outcome(file);
        expect_read_as_written(w, *file);
    }
}

// `rows` rows of 80 random values in three groups, on chromosomes and
// strands that change from row to row.
Written large_matrix(std::size_t rows) {
    std::vector<Region> regions;
    for (std::size_t r = 0; r < rows; ++r) {
        const auto start = static_cast<std::int64_t>(r * 37);
        regions.push_back(region({{start, start + 500}}, r % 3 == 0 ? U'-' : U'+', fmt::format("chr{}", r % 5),
                                 static_cast<GroupIndex>(3 * r / rows), fmt::format("r{}", r)));
    }
    return make_matrix(reference(RefPoint::TSS, 200, 200, 10), {"a", "b"}, {"g1", "g2", "g3"}, regions,
                       [](std::size_t i) {
                           if (i % 97 == 0) return kNaN;
                           // Any mantissa, magnitudes from 2^-10 to 2^10, either sign.
                           const auto bits = static_cast<std::uint32_t>(i * 2654435761u);
                           return std::bit_cast<float>((bits & 0x807fffffu) | static_cast<std::uint32_t>((117 + i % 21) << 23));
                       });
}

// Chunks of 16 KiB: about 20 rows each, parsed side by side.
constexpr std::size_t kSmallChunks = std::size_t{16} << 10;

TEST(MatrixFileReader, SameMatrixAndSameFirstErrorAtOneAndFourThreads) {
    const Written w = large_matrix(3000);
    const std::string bytes = written_bytes(w);
    const auto one = read_matrix_bytes(bytes, "m.gz", 1);
    const auto four = read_matrix_bytes(bytes, "m.gz", 4, kSmallChunks);
    ASSERT_TRUE(one) << outcome(one);
    ASSERT_TRUE(four) << outcome(four);
    expect_read_as_written(w, *one);
    ASSERT_EQ(one->matrix.values.size(), four->matrix.values.size());
    EXPECT_EQ(std::memcmp(one->matrix.values.data(), four->matrix.values.data(), one->matrix.values.size() * 4), 0);
    EXPECT_EQ(one->matrix.region_set.regions.size(), four->matrix.region_set.regions.size());
    for (std::size_t r = 0; r < one->matrix.rows(); ++r) {
        const Region &a = one->matrix.region(r), &b = four->matrix.region(r);
        ASSERT_EQ(std::tie(a.chrom, a.blocks, a.name, a.score, a.group, a.strand),
                  std::tie(b.chrom, b.blocks, b.name, b.score, b.group, b.strand));
    }
    // Regions only checked: the same values, rows and groups, no region.
    const auto checked = read_matrix_bytes(bytes, "m.gz", 4, kSmallChunks, MatrixRegions::checked);
    ASSERT_TRUE(checked) << outcome(checked);
    const Matrix &kept = one->matrix, &bare = checked->matrix;
    ASSERT_EQ(bare.values.size(), kept.values.size());
    EXPECT_EQ(std::memcmp(bare.values.data(), kept.values.data(), kept.values.size() * 4), 0);
    EXPECT_EQ(std::tie(bare.cols, bare.row_regions, bare.group_boundaries, bare.region_set.groups, bare.sample_labels),
              std::tie(kept.cols, kept.row_regions, kept.group_boundaries, kept.region_set.groups, kept.sample_labels));
    EXPECT_TRUE(bare.region_set.regions.empty());

    // Bad rows from line 2000 on, across chunks parsed side by side: the
    // first is reported, however soon the others are met.
    std::vector<std::string> lines = split(gunzip(bytes), '\n');
    for (std::size_t i = 1999; i < lines.size(); ++i) lines[i] = lines[i].substr(0, lines[i].rfind('\t')) + "\tx";
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    for (const std::size_t threads : {1, 4, 4, 4}) {
        EXPECT_EQ(outcome(read_matrix_bytes(gzip_text(text), "m.gz", threads, kSmallChunks)),
                  "Reading matrix file m.gz | line 2000: field 86: \"x\" is not a number");
    }
}

// A small valid file: one sample of four bins, two rows in one group.
const Json kHeader = Json::parse(R"({"bin size":[10],"body":[0],"downstream":[20],"group_boundaries":[0,2],)"
                                 R"("group_labels":["g"],"ref point":["TSS"],"sample_boundaries":[0,4],)"
                                 R"("sample_labels":["s"],"upstream":[20]})");
const std::string kRow1 = "chr1\t100\t200\tr1\t1\t+\t1\t2\tnan\t-inf\n";
const std::string kRow2 = "chr1\t300,500\t400,600\tr2\t0.5\t-\t0\t1\t0.5\t0\n";

std::string header_line(const std::function<void(Json&)>& change) {
    Json header = kHeader;
    change(header);
    return fmt::format("@{}\n", header.dump());
}

std::string with_header(const std::function<void(Json&)>& change) {
    return gzip_text(header_line(change) + kRow1 + kRow2);
}

std::string with_rows(const std::string& rows) { return gzip_text(header_line([](Json&) {}) + rows); }

// A corrupt gzip file the fuzzer found.
const std::string kBadDistance(
        "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x5d\x8e\x41\x0a\xc2\x30\x14\x44\xd7\xbf\xa7\x08\xd9\xda"
        "\x45\xd2\x5a\x0b\xae\x7a\x0f\x11\x49\x9a\x6f\x0d\xa4\x49\x48\x1a\x44\xc5\xbb\x9b\x0a\xb6\xd2\xcd"
        "\x30\xbc\x07\xc3\x74\x2f\x2a\xb5\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x6b\x00\x00\x00\x00\x00"
        "\x00\x0a\x66\x86\x74\x40\x9b\x6d\x0f\x01\xaf\xc4\x3b\x9a\xf8\xa0\xc7\xe5\xea",
    91);

TEST(MatrixFileReader, RefusesBadFilesSayingWhy) {
    const std::string good = with_rows(kRow1 + kRow2);
    std::string bad_crc = good, bad_row_and_crc = with_rows(kRow1 + "chr1\t1\n");
    bad_crc[bad_crc.size() - 8] ^= 1;
    bad_row_and_crc[bad_row_and_crc.size() - 8] ^= 1;
    const std::string lying = with_header([](Json& h) {
        h["group_boundaries"] = {0, 1000000000};
        h["sample_boundaries"] = {0, 1000000};
    });
    const std::string gzip_no_rows = gzip_text(header_line([](Json& h) {
        h["group_boundaries"] = {0, 0};
        h["sample_boundaries"] = {0, 1000000000000};
    }));
    const std::pair<std::string, std::string> cases[] = {
        {"", "the file is empty"},
        {header_line([](Json&) {}), "not a gzip file: it does not start with the gzip magic bytes 1f 8b"},
        {good.substr(0, good.size() - 4), "the gzip data ends before its last member does: the file is truncated"},
        {bad_crc, "the gzip data is corrupt: incorrect data check"},
        {good + "junk", "the gzip data is corrupt: incorrect header check"},
        {bad_row_and_crc, "the gzip data is corrupt: incorrect data check"},
        // zlib takes every input byte before it meets the fault: read in
        // small steps, this once passed for a truncated file.
        {kBadDistance, "the gzip data is corrupt: invalid distance too far back"},
        {gzip_text(""), "the file holds no text: it has no header line"},
        {gzip_text(kRow1), "line 1: the header line does not start with \"@\""},
        {gzip_text("@{\"a\":}\n"), "line 1, column 7: the header is not valid JSON"},
        {gzip_text("@{\"a\":\"\xff\"}\n"), "line 1, column 8: the header is not valid JSON"},
        {gzip_text("@[1]\n"), "line 1: the header is not a JSON object"},
        {with_header([](Json& h) { h.erase("upstream"); }), "the header has no key \"upstream\""},
        {with_header([](Json& h) { h["bin size"] = {"10"}; }), "the header's \"bin size\" is not an array of integers"},
        {with_header([](Json& h) { h["body"] = 0; }), "the header's \"body\" is not an array of integers"},
        {with_header([](Json& h) { h["sample_labels"] = {1}; }),
         "the header's \"sample_labels\" is not an array of strings"},
        {with_header([](Json& h) { h["ref point"] = {1}; }),
         "the header's \"ref point\" is not an array of strings and nulls"},
        {with_header([](Json& h) { h["sample_boundaries"] = {0, -4}; }),
         "the header's \"sample_boundaries\" is not an array of integers from 0 up"},
        {with_header([](Json& h) { h["sample_boundaries"] = {0, 2, 4}; }),
         "the header's \"sample_boundaries\" has 3 entries for 1 labels in \"sample_labels\": it needs 2"},
        {with_header([](Json& h) { h["group_boundaries"] = {1, 2}; }),
         "the header's \"group_boundaries\" does not start at 0"},
        {with_header([](Json& h) {
             h["group_boundaries"] = {0, 2, 1};
             h["group_labels"] = {"a", "b"};
         }),
         "the header's \"group_boundaries\" decreases at entry 3 (from 2 to 1)"},
        {with_header([](Json& h) { h["upstream"] = {20, 20}; }),
         "the header's \"upstream\" has 2 entries for 1 samples: it needs one per sample"},
        {with_header([](Json& h) { h["bin size"] = {0}; }),
         "the header's \"bin size\" has the entry 0: it must be at least 1"},
        {with_header([](Json& h) { h["downstream"] = {-1}; }),
         "the header's \"downstream\" has the entry -1: it must be at least 0"},
        {lying, "the header promises 1000000000 rows of 1000000 values, more than a file of " +
                    std::to_string(lying.size()) + " bytes can hold"},
        {gzip_no_rows, "the header promises 0 rows of 1000000000000 values, more than a file of " +
                           std::to_string(gzip_no_rows.size()) + " bytes can hold"},
        {with_header([](Json& h) { h["sample_boundaries"] = {0, 5}; }),
         "line 2: expected 11 fields (6 region columns and 5 values), found 10"},
        {with_rows(kRow1 + "chr1\t1\t2\tr\t0\t+\t1\t2\t3\n"),
         "line 3: expected 10 fields (6 region columns and 4 values), found 9"},
        {with_rows(kRow1 + "chr1\t1\t2\tr\t0\t+\t1\t2\t3\t4\t5\n"),
         "line 3: expected 10 fields (6 region columns and 4 values), found 11"},
        {with_rows("chr1\t1\t2\tr\n" + kRow2), "line 2: expected 10 fields (6 region columns and 4 values), found 4"},
        {with_rows("chr1\t1\t2\tr\t0\t+\t1\t1.5x\t3\t4\n" + kRow2), "line 2: field 8: \"1.5x\" is not a number"},
        {with_rows("chr1\t1\t2\tr\t0\t+\t1\t 2\t3\t4\n" + kRow2), "line 2: field 8: \" 2\" is not a number"},
        {with_rows("chr1\t1\t2\tr\t0\t+\t1\t2\t3\t\n" + kRow2), "line 2: field 10: \"\" is not a number"},
        {with_rows("chr1\t1e3\t2000\tr\t0\t+\t1\t2\t3\t4\n" + kRow2),
         "line 2: field 2: \"1e3\" is not a 64-bit integer"},
        {with_rows(kRow1 + "chr1\t1\t99999999999999999999\tr\t0\t+\t1\t2\t3\t4\n"),
         "line 3: field 3: \"99999999999999999999\" is not a 64-bit integer"},
        {with_rows(kRow1 + "chr1\t1,\t2\tr\t0\t+\t1\t2\t3\t4\n"), "line 3: field 2: \"\" is not a 64-bit integer"},
        {with_rows(kRow1 + "chr1\t1,5\t2\tr\t0\t+\t1\t2\t3\t4\n"),
         "line 3: fields 2 and 3 hold 2 block starts and 1 block ends"},
        {with_rows("chr\xff\t1\t2\tr\t0\t+\t1\t2\t3\t4\n" + kRow2),
         "line 2: field 1 (the chromosome) is not valid UTF-8"},
        {with_rows(kRow1 + kRow2 + kRow1), "line 4: the file has more rows than the 2 its header's "
                                           "\"group_boundaries\" end at"},
        {with_rows(kRow1 + kRow2 + "\n"), "line 4: the file has more rows than the 2 its header's "
                                         "\"group_boundaries\" end at"},
        {with_rows(kRow1), "the file ends after 1 rows, but its header's \"group_boundaries\" end at 2"},
    };
    for (const auto& [bytes, why] : cases) {
        EXPECT_EQ(outcome(read_matrix_bytes(bytes, "bad.gz", 2)), "Reading matrix file bad.gz | " + why);
        // The same refusal when the text comes in chunks of a line or two,
        // and when the regions are only checked.
        EXPECT_EQ(outcome(read_matrix_bytes(bytes, "bad.gz", 3, 64)), "Reading matrix file bad.gz | " + why);
        EXPECT_EQ(outcome(read_matrix_bytes(bytes, "bad.gz", 3, 64, MatrixRegions::checked)),
                  "Reading matrix file bad.gz | " + why);
    }
}

// A header may promise more rows than the machine could hold, in a file
// just large enough that its text could hold them: the reader makes room
// for what it is granted, and the file's own error stands.
TEST(MatrixFileReader, APromiseBeyondMemoryEndsWithTheFilesOwnError) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's allocator ends the process on a refused allocation";
#endif
    constexpr std::size_t kRows = 400'000'000;  // 32 GB of regions
    // Random letters: about six bits a byte once compressed, so the file
    // is large enough to hold that many one-value rows.
    const std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+/";
    std::mt19937_64 rng(7);
    std::string pad(6'000'000, ' ');
    for (char& c : pad) c = letters[rng() % letters.size()];
    const std::string bytes = gzip_text(header_line([&](Json& h) {
                                       h["group_boundaries"] = {0, kRows};
                                       h["sample_boundaries"] = {0, 1};
                                       h["pad"] = pad;
                                   }) +
                                   "chr1\t100\t200\tr1\t1\t+\t1\n");
    ASSERT_GT(bytes.size() * 1032, kRows * 10) << "the file could not hold the rows it promises";
    EXPECT_EQ(outcome(read_matrix_bytes(bytes, "big.gz", 2)),
              "Reading matrix file big.gz | the file ends after 1 rows, but its header's \"group_boundaries\" "
              "end at 400000000");
}

TEST(MatrixFileReader, ReadsOtherWritersVariants) {
    // Keys in another order, an unknown key, no unscaled parts.
    Json header = Json::object();
    header["zzz"] = {{"nested", true}};
    for (const auto& [key, value] : kHeader.items()) header[key] = value;
    std::string text = fmt::format("@{}\n", header.dump(2));
    text.erase(std::remove(text.begin() + 1, text.end() - 1, '\n'), text.end() - 1);
    const auto file = read_matrix_bytes(gzip_text(text + "chr1\t1\t2\tr\t0\t+\t1e50\t-1e50\t1e-50\t-1e-50\r\n" +
                                             "chr1\t1\t2\tr\tx\t?\t1.5e3\tinfinity\t-0\tNaN"),
                                        "m.gz", 1);
    ASSERT_TRUE(file) << outcome(file);
    EXPECT_EQ(file->header.unscaled_5_prime, std::vector<std::int64_t>{0});
    EXPECT_EQ(file->header.unscaled_3_prime, std::vector<std::int64_t>{0});
    const std::vector<float> expected = {kInf, -kInf, 0.0f, -0.0f, 1500.0f, kInf, -0.0f, kNaN};
    ASSERT_EQ(file->matrix.values.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(float_text(file->matrix.values[i]), float_text(expected[i])) << i;
    EXPECT_EQ(file->matrix.region(1).score, "x");
    EXPECT_EQ(file->matrix.region(1).strand, U'.');

    // Header and rows in two gzip members.
    const auto members = read_matrix_bytes(gzip_text(header_line([](Json&) {})) + gzip_text(kRow1 + kRow2), "m.gz", 2);
    ASSERT_TRUE(members) << outcome(members);
    EXPECT_EQ(members->matrix.region(1).blocks, (BlockList{{300, 400}, {500, 600}}));
}

TEST(MatrixFileReader, ReadsFilesAndPipesAndNamesAFileItCannotOpen) {
    TempDir dir;
    // Text of several of the reader's own chunks.
    const Written w = large_matrix(12000);
    ASSERT_TRUE(write_matrix_file(dir.file("m.gz"), w.matrix, w.samples, w.params));
    const auto file = read_matrix_file(dir.file("m.gz"), 2);
    ASSERT_TRUE(file) << outcome(file);
    expect_read_as_written(w, *file);

    // A pipe is read whole first: its size bounds what the header may claim.
    const std::string fifo = dir.file("pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { write_file(fifo, with_rows(kRow1 + kRow2)); });
    const auto piped = read_matrix_file(fifo, 2);
    writer.join();
    ASSERT_TRUE(piped) << outcome(piped);
    EXPECT_EQ(piped->matrix.rows(), 2u);

    EXPECT_EQ(outcome(read_matrix_file(dir.file("none.gz"), 2)),
              "Reading matrix file " + dir.file("none.gz") + " | No such file or directory (os error 2)");
}

}  // namespace
}  // namespace binscope
