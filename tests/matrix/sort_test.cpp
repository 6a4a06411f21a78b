// sort_test.cpp - row sorting within groups and the row keys.
#include "matrix/sort.hpp"

#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>

#include <gtest/gtest.h>

namespace binscope {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// Rows named by one letter each, for following them through the sort. The
// set holds the regions in reverse row order: no row has its region's index.
Matrix matrix_of(std::size_t cols, const std::vector<std::tuple<std::vector<float>, std::size_t, char>>& rows,
                 std::vector<std::size_t> bounds) {
    Matrix m;
    m.cols = cols;
    auto& regions = m.region_set.regions;
    for (const auto& [values, group, name] : rows) {
        regions.insert(regions.begin(), Region{"chr1", {{0, 10}}, std::string(1, name), "0", static_cast<GroupIndex>(group), U'+'});
        m.values.insert(m.values.end(), values.begin(), values.end());
    }
    for (std::size_t r = 0; r < rows.size(); ++r) m.row_regions.push_back(rows.size() - 1 - r);
    m.group_boundaries = std::move(bounds);
    m.region_set.groups = {"A", "B"};
    m.sample_labels = {"s"};
    m.no_data_rows = 2;
    return m;
}

std::string names(const Matrix& m) {
    std::string out;
    for (std::size_t r = 0; r < m.rows(); ++r) out += m.region(r).name;
    return out;
}

TEST(SortRows, WithinGroupsStableWithNaNLastInBothDirections) {
    // Group A means: a 3, b 1, x none, c 2, d 1, y none; group B: e 9, f 0.
    const Matrix m = matrix_of(2,
                               {{{3, 3}, 0, 'a'}, {{0, 2}, 0, 'b'}, {{kNaN, kNaN}, 0, 'x'}, {{2, kNaN}, 0, 'c'},
                                {{1, 1}, 0, 'd'}, {{kNaN, kNaN}, 0, 'y'}, {{9, 9}, 1, 'e'}, {{0, -0.0f}, 1, 'f'}},
                               {0, 6, 8});
    EXPECT_EQ(names(sort_rows(m, SortRegions::Ascend, SortUsing::Mean)), "bdcaxyfe");
    const Matrix down = sort_rows(m, SortRegions::Descend, SortUsing::Mean);
    EXPECT_EQ(names(down), "acbdxyef");
    // Values travel with their rows (compared bit for bit); the rest of the matrix is kept.
    const std::vector<float> moved{3, 3, 2, kNaN, 0, 2, 1, 1, kNaN, kNaN, kNaN, kNaN, 9, 9, 0, -0.0f};
    ASSERT_EQ(down.values.size(), moved.size());
    EXPECT_EQ(std::memcmp(down.values.data(), moved.data(), moved.size() * sizeof(float)), 0);
    EXPECT_EQ(std::tie(down.group_boundaries, down.region_set.groups, down.sample_labels, down.no_data_rows),
              std::tie(m.group_boundaries, m.region_set.groups, m.sample_labels, m.no_data_rows));

    EXPECT_EQ(names(sort_rows(m, SortRegions::Keep, SortUsing::Mean)), "abxcdyef");
    EXPECT_EQ(names(sort_rows(m, SortRegions::No, SortUsing::Max)), "abxcdyef");
    EXPECT_EQ(sort_rows(matrix_of(1, {}, {0, 0}), SortRegions::Ascend, SortUsing::Mean).rows(), 0u);
    // An empty group segment contributes nothing.
    EXPECT_EQ(names(sort_rows(matrix_of(1, {{{2}, 1, 'a'}, {{1}, 1, 'b'}}, {0, 0, 2}), SortRegions::Ascend,
                              SortUsing::Sum)),
              "ba");
}

TEST(RowSortKey, Statistics) {
    Region region{"chr1", {{10, 20}, {30, 45}}, "r", "0", 0, U'+'};
    const std::vector<float> row{1, kNaN, 5, 2, 8};
    EXPECT_EQ(row_sort_key(row, region, SortUsing::Median), 3.5);
    EXPECT_EQ(row_sort_key(std::vector<float>{7, 1, 4}, region, SortUsing::Median), 4.0);
    EXPECT_EQ(row_sort_key(row, region, SortUsing::Mean), 4.0);
    EXPECT_EQ(row_sort_key(row, region, SortUsing::Sum), 16.0);
    EXPECT_EQ(row_sort_key(row, region, SortUsing::Max), 8.0);
    EXPECT_EQ(row_sort_key(row, region, SortUsing::Min), 1.0);
    EXPECT_EQ(row_sort_key(row, region, SortUsing::RegionLength), 25.0);
    // Sums start from -0.0 and add widened values: no 32-bit overflow.
    EXPECT_TRUE(std::signbit(row_sort_key(std::vector<float>{-0.0f, -0.0f}, region, SortUsing::Sum)));
    const float big = std::numeric_limits<float>::max();
    EXPECT_EQ(row_sort_key(std::vector<float>{big, big}, region, SortUsing::Sum), 2.0 * big);
    for (SortUsing u : {SortUsing::Mean, SortUsing::Median, SortUsing::Max, SortUsing::Min, SortUsing::Sum})
        EXPECT_TRUE(std::isnan(row_sort_key(std::vector<float>{kNaN}, region, u)));
    // Lengths of extreme blocks do not overflow.
    region.blocks = {{std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()}};
    EXPECT_EQ(row_sort_key({}, region, SortUsing::RegionLength), 18446744073709551615.0);
}

}  // namespace
}  // namespace binscope
