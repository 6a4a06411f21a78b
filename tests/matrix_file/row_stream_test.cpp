// row_stream_test.cpp - the rows of a matrix file a batch at a time give
// what the whole-file reader gives: values, regions and groups, and the
// same error for a bad file.
#include "matrix_file/row_stream.hpp"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "matrix_file/matrix_file.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

// A header for groups of the given sizes and `cols` columns of one sample.
std::string header(const std::vector<std::size_t>& groups, std::size_t cols) {
    std::string bounds = "0", labels;
    std::size_t rows = 0;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        rows += groups[g];
        bounds += fmt::format(",{}", rows);
        labels += fmt::format("{}\"g{}\"", g == 0 ? "" : ",", g);
    }
    return fmt::format("@{{\"bin avg type\":\"mean\",\"bin size\":[1],\"body\":[0],\"downstream\":[{}],"
                       "\"group_boundaries\":[{}],\"group_labels\":[{}],\"max threshold\":null,\"min threshold\":null,"
                       "\"missing data as zero\":false,\"nan after end\":false,\"proc number\":1,\"ref point\":[\"TSS\"],"
                       "\"sample_boundaries\":[0,{}],\"sample_labels\":[\"s\"],\"scale\":1.0,\"skip zeros\":false,"
                       "\"sort regions\":\"keep\",\"sort using\":\"mean\",\"upstream\":[0],\"verbose\":false}}\n",
                       cols, groups.empty() ? "0" : bounds, labels, cols);
}

// Rows of random values (NaN among them), some regions of several blocks.
std::string rows(std::size_t count, std::size_t cols, std::mt19937& rng) {
    std::string text;
    for (std::size_t r = 0; r < count; ++r) {
        text += r % 5 == 0 ? fmt::format("chr{}\t{},{}\t{},{}\tn{}\t1\t-", r % 3, r, r + 50, r + 20, r + 90, r)
                           : fmt::format("chr{}\t{}\t{}\tn{}\t0.5\t+", r % 3, r * 10, r * 10 + 5, r);
        for (std::size_t c = 0; c < cols; ++c)
            text += rng() % 9 == 0 ? std::string("\tnan") : fmt::format("\t{}", static_cast<float>(rng() % 2000) / 7.0f);
        text += "\n";
    }
    return text;
}

std::string chain(const Error& e) { return fmt::format("{}", fmt::join(e.chain(), " | ")); }

// Every row through the stream, `batch` at a time, as one matrix.
Result<Matrix> streamed(const std::string& path, std::size_t batch) {
    auto stream = MatrixRowStream::open(path);
    if (!stream) return fail(std::move(stream.error()));
    Matrix m;
    m.cols = stream->cols();
    m.values.resize(stream->rows() * m.cols);
    while (stream->position() < stream->rows()) {
        const std::size_t at = stream->position();
        if (auto read = stream->read(batch, m.values.data() + at * m.cols, m.region_set.regions); !read)
            return fail(std::move(read.error()));
    }
    return m;
}

TEST(MatrixRowStream, GivesWhatTheWholeFileReaderGives) {
    std::mt19937 rng(7);
    TempDir dir;
    const std::vector<std::pair<std::vector<std::size_t>, std::size_t>> layouts{
        {{3000, 0, 1200}, 40}, {{1}, 0}, {{}, 5}, {{5000}, 1}};
    for (const auto& [groups, cols] : layouts) {
        std::size_t total = 0;
        for (auto g : groups) total += g;
        const std::string path = dir.file("m.gz");
        write_file(path, gzip_text(header(groups, cols) + rows(total, cols, rng)));
        auto whole = read_matrix_file(path, 3);
        ASSERT_TRUE(whole) << chain(whole.error());
        for (const std::size_t batch : {1, 7, 100000}) {
            auto m = streamed(path, batch);
            ASSERT_TRUE(m) << chain(m.error());
            ASSERT_EQ(m->region_set.regions.size(), whole->matrix.rows());
            ASSERT_EQ(m->values.size(), whole->matrix.values.size());
            for (std::size_t i = 0; i < m->values.size(); ++i)
                ASSERT_EQ(std::bit_cast<std::uint32_t>(m->values[i]), std::bit_cast<std::uint32_t>(whole->matrix.values[i]));
            for (std::size_t r = 0; r < whole->matrix.rows(); ++r) {
                const Region& a = m->region_set.regions[r];
                const Region& b = whole->matrix.region(r);
                ASSERT_EQ(a.chrom.view(), b.chrom.view());
                ASSERT_TRUE(a.blocks == b.blocks);
                ASSERT_EQ(a.name, b.name);
                ASSERT_EQ(a.score.view(), b.score.view());
                ASSERT_EQ(a.strand, b.strand);
                ASSERT_EQ(a.group, b.group) << r;
            }
        }
    }
}

TEST(MatrixRowStream, RefusesABadFileAsTheWholeFileReaderDoes) {
    std::mt19937 rng(8);
    TempDir dir;
    const std::string good = header({20}, 3) + rows(20, 3, rng);
    const std::vector<std::pair<std::string, std::string>> files{
        {"fewer rows", gzip_text(header({21}, 3) + rows(20, 3, rng))},
        {"more rows", gzip_text(header({19}, 3) + rows(20, 3, rng))},
        {"a bad value", gzip_text(good.substr(0, good.rfind('\t')) + "\tx\n")},
        {"a short row", gzip_text(good.substr(0, good.rfind('\t')) + "\n")},
        {"a cut file", gzip_text(good).substr(0, 200)},
        {"no gzip", good},
        {"a bad header", gzip_text("@{\"x\":1}\n")},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        const std::string path = dir.file("bad.gz");
        write_file(path, bytes);
        auto whole = read_matrix_file(path, 2);
        ASSERT_FALSE(whole);
        auto m = streamed(path, 4);
        ASSERT_FALSE(m);
        EXPECT_EQ(chain(m.error()), chain(whole.error()));
    }
}

}  // namespace
}  // namespace binscope
