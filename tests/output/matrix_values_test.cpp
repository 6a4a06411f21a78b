// matrix_values_test.cpp - the plain-text matrix file.
#include "output/matrix_values.hpp"

#include <limits>

#include <gtest/gtest.h>

#include "support/test_files.hpp"

namespace binscope {
namespace {

using binscope::testing::read_file;
using binscope::testing::TempDir;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

Matrix matrix_of(std::size_t cols, std::vector<float> values, std::vector<std::string> labels) {
    Matrix m;
    m.cols = cols;
    m.values = std::move(values);
    m.sample_labels = std::move(labels);
    for (std::size_t r = 0; cols > 0 && r < m.values.size() / cols; ++r) {
        Region region;
        region.chrom = "chr1";
        region.blocks = {{0, 1}};
        m.regions.push_back(region);
    }
    return m;
}

std::string written(const Matrix& m, std::int64_t bins) {
    TempDir dir;
    const std::string path = dir.file("values.tab");
    const Status status = write_matrix_values(path, m, bins);
    EXPECT_TRUE(status) << (status ? "" : status.error().message());
    return read_file(path);
}

TEST(MatrixValues, HeadingAndRows) {
    const Matrix m = matrix_of(6, {kNaN, 2.0f, -0.5f, 0.03125f, 123456.7f, -0.00004f,  //
                                   0.00005f, 1.5f, -0.0f, 1e30f, std::numeric_limits<float>::infinity(), 0.09375f},
                               {"A", "B"});
    EXPECT_EQ(written(m, 3),
              "#A\tA\tA\tB\tB\tB\n"
              "nan\t2.0000\t-0.5000\t0.0312\t123456.7031\t-0.0000\n"
              "0.0000\t1.5000\t-0.0000\t1000000015047466219876688855040.0000\tinf\t0.0938\n");
}

TEST(MatrixValues, HeadingShapes) {
    EXPECT_EQ(written(matrix_of(1, {}, {"x"}), 1), "#x\n");
    EXPECT_EQ(written(matrix_of(4, {}, {"s", "s"}), 2), "#s\ts\ts\ts\n");
    EXPECT_EQ(written(matrix_of(0, {}, {"a", "b", "c"}), 0), "#\t\t\n");
}

TEST(MatrixValues, LongRowsAndZeroColumnRows) {
    std::vector<float> values(5000, 1.0f);
    std::string row = "1.0000";
    for (int i = 1; i < 5000; ++i) row += "\t1.0000";
    EXPECT_EQ(written(matrix_of(5000, values, {"a"}), 5000).substr(5000 * 2 + 1), row + "\n");

    Matrix empty_rows = matrix_of(0, {}, {"a"});
    empty_rows.regions.resize(2);
    EXPECT_EQ(written(empty_rows, 0), "#\n\n\n");
}

TEST(MatrixValues, WriteErrorsAreTheSystemMessage) {
    const Status status = write_matrix_values("/dev/full", matrix_of(1, {1.0f}, {"a"}), 1);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().chain(), std::vector<std::string>{"No space left on device (os error 28)"});
}

}  // namespace
}  // namespace binscope
