// matrix_values_test.cpp - the plain-text matrix file.
#include "output/matrix_values.hpp"

#include <limits>

#include <gtest/gtest.h>

#include "support/test_files.hpp"

namespace binscope {
namespace {

Matrix matrix_of(std::size_t rows, std::size_t cols, std::vector<float> values, std::vector<std::string> labels) {
    Matrix m;
    m.cols = cols;
    m.values.assign(values.begin(), values.end());
    m.sample_labels = std::move(labels);
    m.region_set.regions = {Region{"chr1", {{0, 1}}, "r", "0", 0, U'+'}};
    m.row_regions.assign(rows, 0);
    return m;
}

std::string written(const Matrix& m, std::int64_t bins) {
    binscope::testing::TempDir dir;
    const std::string path = dir.file("values.tab");
    const Status status = write_matrix_values(path, m, bins);
    EXPECT_TRUE(status) << (status ? "" : status.error().message());
    return binscope::testing::read_file(path);
}

TEST(MatrixValues, HeadingAndRows) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(written(matrix_of(2, 6,
                                {nan, 2.0f, -0.5f, 0.03125f, 123456.7f, -0.00004f,  //
                                 0.00005f, 1.5f, -0.0f, 1e30f, std::numeric_limits<float>::infinity(), 0.09375f},
                                {"A", "B"}),
                      3),
              "#A\tA\tA\tB\tB\tB\n"
              "nan\t2.0000\t-0.5000\t0.0312\t123456.7031\t-0.0000\n"
              "0.0000\t1.5000\t-0.0000\t1000000015047466219876688855040.0000\tinf\t0.0938\n");
}

TEST(MatrixValues, Shapes) {
    EXPECT_EQ(written(matrix_of(0, 1, {}, {"x"}), 1), "#x\n");
    EXPECT_EQ(written(matrix_of(0, 0, {}, {"a", "b", "c"}), 0), "#\t\t\n");
    EXPECT_EQ(written(matrix_of(2, 0, {}, {"a"}), 0), "#\n\n\n");
    // A line far longer than the write buffer.
    std::string row = "1.0000";
    for (int i = 1; i < 5000; ++i) row += "\t1.0000";
    EXPECT_EQ(written(matrix_of(1, 5000, std::vector<float>(5000, 1.0f), {"s"}), 5000).substr(10001), row + "\n");
}

}  // namespace
}  // namespace binscope
