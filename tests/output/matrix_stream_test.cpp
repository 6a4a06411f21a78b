// matrix_stream_test.cpp - rows streamed a batch at a time make the same
// file, byte for byte, as the whole matrix written at once.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <numeric>
#include <random>

#include "output/matrix.hpp"
#include "output/matrix_text.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

// Rows of random values over two groups; wide enough that the file has
// many segments.
Matrix random_matrix(std::size_t rows, std::size_t cols) {
    std::mt19937 rng(3);
    Matrix m;
    m.cols = cols;
    m.region_set.groups = {"one", "two"};
    m.sample_labels = {"a", "b"};
    for (std::size_t r = 0; r < rows; ++r) {
        Region region;
        region.chrom = "chr1";
        region.blocks.push_back({static_cast<std::int64_t>(r), static_cast<std::int64_t>(r + 10)});
        region.name = fmt::format("r{}", r);
        region.group = r < rows / 3 ? 0 : 1;
        m.region_set.regions.push_back(std::move(region));
        for (std::size_t c = 0; c < cols; ++c) m.values.push_back(static_cast<float>(rng() % 1000) / 3.0f);
    }
    m.row_regions.resize(rows);
    std::iota(m.row_regions.begin(), m.row_regions.end(), std::size_t{0});
    m.group_boundaries = compute_group_boundaries(m);
    return m;
}

TEST(MatrixStream, WritesTheBytesOfTheWholeMatrix) {
    TempDir dir;
    for (const std::size_t rows : {0, 1, 9000}) {
        const Matrix m = random_matrix(rows, 40);
        Params params;
        params.binSize = 1;
        params.beforeRegionStartLength = 20;
        params.afterRegionStartLength = 0;
        params.quiet = true;
        params.numberOfProcessors = 3;
        ASSERT_TRUE(write_matrix_file(dir.file("whole.gz"), m, m.sample_labels, params));
        const StreamedMatrix layout{matrix_header_line(m, m.sample_labels, params), m.rows(), m.cols};
        for (const std::size_t threads : {1, 2, 5}) {
            std::size_t next = 0;
            const auto source = [&](std::size_t begin, std::size_t end, Matrix& batch) -> Status {
                EXPECT_EQ(begin, next);  // consecutive ranges, in order
                next = end;
                batch.cols = m.cols;
                batch.values.assign(m.row(begin), m.row(begin) + (end - begin) * m.cols);
                for (std::size_t r = begin; r < end; ++r) {
                    batch.region_set.regions.push_back(m.region(r));
                    batch.row_regions.push_back(r - begin);
                }
                return {};
            };
            ASSERT_TRUE(write_matrix_stream(dir.file("stream.gz"), layout, threads, true, source));
            EXPECT_EQ(next, rows);
            EXPECT_EQ(read_file(dir.file("stream.gz")), read_file(dir.file("whole.gz"))) << rows << " " << threads;
        }
    }
}

TEST(MatrixStream, ReturnsTheSourcesError) {
    TempDir dir;
    const Matrix m = random_matrix(9000, 40);
    const StreamedMatrix layout{"@{}\n", m.rows(), m.cols};
    std::size_t calls = 0;
    const auto written = write_matrix_stream(dir.file("x.gz"), layout, 2, true,
                                             [&](std::size_t begin, std::size_t, Matrix&) -> Status {
                                                 ++calls;
                                                 if (begin > 0) return fail("row source failed");
                                                 return {};
                                             });
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().message(), "row source failed");
    EXPECT_EQ(calls, 2u);  // no row is asked for after the failure
}

}  // namespace
}  // namespace binscope
