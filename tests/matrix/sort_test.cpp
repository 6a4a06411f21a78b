// sort_test.cpp - row sorting within groups and the row keys.
#include "matrix/sort.hpp"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace binscope {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

// One row per entry: its values, its group and a name to follow it by.
struct RowSpec {
    std::vector<float> values;
    std::size_t group;
    std::string name;
    std::vector<Block> blocks{{0, 10}};
};

Matrix matrix_of(std::size_t cols, const std::vector<RowSpec>& rows, std::vector<std::size_t> bounds) {
    Matrix m;
    m.cols = cols;
    for (const RowSpec& row : rows) {
        Region r;
        r.chrom = "chr1";
        r.blocks = row.blocks;
        r.name = row.name;
        r.group = row.group;
        m.regions.push_back(r);
        m.values.insert(m.values.end(), row.values.begin(), row.values.end());
    }
    m.group_boundaries = std::move(bounds);
    m.group_names = {"A", "B"};
    m.sample_labels = {"s"};
    m.no_data_rows = 1;
    return m;
}

std::string names(const Matrix& m) {
    std::string out;
    for (const Region& r : m.regions) out += r.name;
    return out;
}

TEST(SortRows, WithinGroupsBothDirectionsStableWithNaNLast) {
    // Group A: means 3, 1, nan, 2, 1 (tie with b), nan; group B: 9, 0.
    const Matrix m = matrix_of(2,
                               {{{3, 3}, 0, "a"},
                                {{0, 2}, 0, "b"},
                                {{kNaN, kNaN}, 0, "x"},
                                {{2, kNaN}, 0, "c"},
                                {{1, 1}, 0, "d"},
                                {{kNaN, kNaN}, 0, "y"},
                                {{9, 9}, 1, "e"},
                                {{0, -0.0f}, 1, "f"}},
                               {0, 6, 8});
    const Matrix up = sort_rows(m, SortRegions::Ascend, SortUsing::Mean);
    EXPECT_EQ(names(up), "bdcaxyfe");
    const Matrix down = sort_rows(m, SortRegions::Descend, SortUsing::Mean);
    EXPECT_EQ(names(down), "acbdxyef");
    // Values travel with their rows; everything else is kept.
    EXPECT_EQ(down.values[0], 3.0f);
    EXPECT_EQ(down.values[2], 2.0f);
    EXPECT_TRUE(std::isnan(down.values[3]));
    EXPECT_EQ(down.values[14], 0.0f);
    EXPECT_EQ(down.group_boundaries, m.group_boundaries);
    EXPECT_EQ(down.group_names, m.group_names);
    EXPECT_EQ(down.sample_labels, m.sample_labels);
    EXPECT_EQ(down.no_data_rows, 1u);
    EXPECT_EQ(down.cols, 2u);

    EXPECT_EQ(names(sort_rows(m, SortRegions::Keep, SortUsing::Mean)), "abxcdyef");
    EXPECT_EQ(names(sort_rows(m, SortRegions::No, SortUsing::Max)), "abxcdyef");
}

TEST(SortRows, RegionLengthIgnoresValues) {
    const Matrix m = matrix_of(1,
                               {{{1}, 0, "long", {{100, 200}}},
                                {{9}, 0, "short", {{0, 50}}},
                                {{kNaN}, 0, "blocks", {{0, 10}, {100, 170}}}},
                               {0, 3});
    EXPECT_EQ(names(sort_rows(m, SortRegions::Ascend, SortUsing::RegionLength)), "shortblockslong");
}

TEST(SortRows, EmptyMatrixAndEmptySegments) {
    const Matrix none = matrix_of(1, {}, {0, 0});
    EXPECT_EQ(sort_rows(none, SortRegions::Ascend, SortUsing::Mean).rows(), 0u);
    const Matrix m = matrix_of(1, {{{2}, 1, "a"}, {{1}, 1, "b"}}, {0, 0, 2});
    EXPECT_EQ(names(sort_rows(m, SortRegions::Ascend, SortUsing::Sum)), "ba");
}

TEST(RowSortKey, Statistics) {
    Region region;
    region.blocks = {{10, 20}, {30, 45}};
    const std::vector<float> row{1, kNaN, 5, 2, 8};
    EXPECT_EQ(row_sort_key(row, region, SortUsing::Median), 3.5);
    EXPECT_EQ(row_sort_key(row, region, SortUsing::Mean), 4.0);
    EXPECT_EQ(row_sort_key(row, region, SortUsing::Sum), 16.0);
    EXPECT_EQ(row_sort_key(row, region, SortUsing::Max), 8.0);
    EXPECT_EQ(row_sort_key(row, region, SortUsing::Min), 1.0);
    EXPECT_EQ(row_sort_key(row, region, SortUsing::RegionLength), 25.0);
    EXPECT_EQ(row_sort_key(std::vector<float>{7, 1, 4}, region, SortUsing::Median), 4.0);
    // Sums start from -0.0, so a row of negative zeros keeps its sign.
    EXPECT_TRUE(std::signbit(row_sort_key(std::vector<float>{-0.0f, -0.0f}, region, SortUsing::Sum)));
    // Values are widened before adding: no 32-bit rounding or overflow.
    const float big = std::numeric_limits<float>::max();
    EXPECT_EQ(row_sort_key(std::vector<float>{big, big}, region, SortUsing::Sum), 2.0 * big);
    for (SortUsing u : {SortUsing::Mean, SortUsing::Median, SortUsing::Max, SortUsing::Min, SortUsing::Sum})
        EXPECT_TRUE(std::isnan(row_sort_key(std::vector<float>{kNaN, kNaN}, region, u)));
    region.blocks = {{std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()}};
    EXPECT_EQ(row_sort_key({}, region, SortUsing::RegionLength), 18446744073709551615.0);
}

}  // namespace
}  // namespace binscope
