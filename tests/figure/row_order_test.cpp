// row_order_test.cpp - the drawn order of the rows: groups kept, sorted
// within groups, or replaced by k-means clusters; and the sorted-regions
// file of that order.
#include "figure/row_order.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

#include "output/sorted_regions.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

constexpr float kNaN = NAN;

// A matrix of one-letter rows with `cols` values each; `groups` gives each
// row's group index.
Matrix matrix_of(std::size_t cols, const std::vector<std::vector<float>>& rows, const std::vector<GroupIndex>& groups,
                 std::vector<std::size_t> bounds, std::vector<std::string> names = {"A", "B", "C"}) {
    Matrix m;
    m.cols = cols;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        m.region_set.regions.push_back(
            Region{"chr1", {{static_cast<std::int64_t>(r * 10), static_cast<std::int64_t>(r * 10 + 5)}},
                   std::string(1, static_cast<char>('a' + r)), "0", groups[r], U'+'});
        m.row_regions.push_back(r);
        m.values.insert(m.values.end(), rows[r].begin(), rows[r].end());
    }
    m.region_set.groups = std::move(names);
    m.group_boundaries = std::move(bounds);
    return m;
}

// The drawn rows' letters, groups split by '|'.
std::string drawn(const Matrix& m, const RowOrder& order) {
    std::string out;
    std::size_t group = 1;
    for (std::size_t i = 0; i < order.row_order.size(); ++i) {
        if (i > 0 && i == order.group_boundaries[group]) out += '|', ++group;
        out += m.region(order.row_order[i]).name;
    }
    return out;
}

RowOrder ordered(const Matrix& m, std::vector<std::size_t> sample_bounds, RowOrderSettings settings,
                 std::size_t threads = 1) {
    auto order = order_rows(m, sample_bounds, settings, threads);
    EXPECT_TRUE(order) << (order ? "" : order.error().message());
    return order ? *order : RowOrder{};
}

TEST(RowOrder, KeepShowsTheMatrixGroups) {
    // Group B is empty: it draws nothing and has no label.
    const Matrix m = matrix_of(1, {{1}, {2}, {3}, {4}}, {0, 0, 2, 2}, {0, 2, 2, 4});
    const RowOrder order = ordered(m, {0, 1}, {});
    EXPECT_EQ(std::tie(order.row_order, order.group_boundaries, order.group_labels),
              std::tuple(std::vector<std::size_t>{0, 1, 2, 3}, std::vector<std::size_t>{0, 2, 4},
                         std::vector<std::string>{"A", "C"}));
}

// Two samples of one column each, two groups: a b c d | e f g.
TEST(RowOrder, SortKeysAndDirections) {
    const Matrix m = matrix_of(2,
                               {{1, 5}, {3, kNaN}, {kNaN, kNaN}, {2, 2}, {0, 1}, {4, 0}, {0, 1}},
                               {0, 0, 0, 0, 1, 1, 1}, {0, 4, 7});
    struct Case {
        SortOrder sort;
        RowStatistic statistic;
        std::vector<std::size_t> samples;
        std::string expected;
    };
    const Case cases[] = {
        {SortOrder::keep, RowStatistic::max, {}, "abcd|efg"},
        // Equal keys keep the matrix order; rows without a value end the group.
        {SortOrder::descend, RowStatistic::mean, {}, "abdc|feg"},
        {SortOrder::ascend, RowStatistic::mean, {}, "dabc|egf"},
        {SortOrder::descend, RowStatistic::median, {}, "abdc|feg"},
        {SortOrder::descend, RowStatistic::max, {}, "abdc|feg"},
        {SortOrder::ascend, RowStatistic::max, {}, "dbac|egf"},
        {SortOrder::descend, RowStatistic::min, {}, "bdac|efg"},
        {SortOrder::ascend, RowStatistic::min, {}, "adbc|efg"},
        {SortOrder::descend, RowStatistic::sum, {}, "adbc|feg"},
        {SortOrder::ascend, RowStatistic::sum, {}, "bdac|egf"},
        // The second sample alone: b has no value there.
        {SortOrder::descend, RowStatistic::mean, {1}, "adbc|egf"},
        {SortOrder::ascend, RowStatistic::mean, {1}, "dabc|feg"},
        {SortOrder::ascend, RowStatistic::mean, {1, 0}, "dabc|egf"},
    };
    for (const auto& c : cases) {
        RowOrderSettings settings;
        settings.sort = c.sort;
        settings.sort_using = c.statistic;
        settings.sort_using_samples = c.samples;
        for (const std::size_t threads : {1, 3})
            EXPECT_EQ(drawn(m, ordered(m, {0, 1, 2}, settings, threads)), c.expected)
                << static_cast<int>(c.sort) << " " << static_cast<int>(c.statistic) << " " << c.samples.size();
    }
}

// Many equal rows (beyond what a sort handles by insertion) keep the
// matrix order in either direction.
TEST(RowOrder, EqualRowsKeepTheMatrixOrder) {
    std::vector<std::vector<float>> rows;
    for (std::size_t r = 0; r < 60; ++r) rows.push_back({static_cast<float>(r % 3)});
    const Matrix m = matrix_of(1, rows, std::vector<GroupIndex>(60, 0), {0, 60});
    for (const SortOrder sort : {SortOrder::descend, SortOrder::ascend}) {
        RowOrderSettings settings;
        settings.sort = sort;
        const RowOrder order = ordered(m, {0, 1}, settings);
        std::vector<std::size_t> expected;
        for (const std::size_t level : sort == SortOrder::descend ? std::vector<std::size_t>{2, 1, 0}
                                                                  : std::vector<std::size_t>{0, 1, 2})
            for (std::size_t r = level; r < 60; r += 3) expected.push_back(r);
        EXPECT_EQ(order.row_order, expected);
    }
}

// Clusters of either method replace the groups, highest mean first, rows
// in matrix order unless sorted.
TEST(RowOrder, ClustersReplaceTheGroups) {
    const Matrix m = matrix_of(1, {{0}, {10}, {0.5f}, {9.5f}, {0.2f}, {10.2f}}, {0, 0, 0, 1, 1, 1}, {0, 3, 6});
    const Matrix three = matrix_of(1, {{0}, {100}, {kNaN}}, {0, 0, 0}, {0, 3});
    for (std::size_t RowOrderSettings::*method : {&RowOrderSettings::kmeans, &RowOrderSettings::hclust}) {
        RowOrderSettings settings;
        settings.*method = 2;
        const RowOrder order = ordered(m, {0, 1}, settings);
        EXPECT_EQ(drawn(m, order), "bdf|ace");
        EXPECT_EQ(order.group_labels, (std::vector<std::string>{"cluster_1", "cluster_2"}));
        settings.sort = SortOrder::ascend;
        EXPECT_EQ(drawn(m, ordered(m, {0, 1}, settings, 4)), "dbf|aec");

        // One row each: a cluster without any value comes last.
        settings = {};
        settings.*method = 3;
        const RowOrder each = ordered(three, {0, 1}, settings);
        EXPECT_EQ(drawn(three, each), "b|a|c");
        EXPECT_EQ(each.group_labels, (std::vector<std::string>{"cluster_1", "cluster_2", "cluster_3"}));
    }
}

// An outlier makes a cluster of its own on raw values; clipped to each
// sample's range (here the second sample's), the rows follow their pattern.
TEST(RowOrder, ClippedValuesClusterByPattern) {
    const Matrix m = matrix_of(2, {{0, 0}, {0, 0.1f}, {0, 10}, {0, 10.1f}, {0, 1000}, {0, 9.9f}}, {0, 0, 0, 0, 0, 0},
                               {0, 6});
    const std::vector<ColorLimits> clip{{0, 1}, {0, 10}};
    for (std::size_t RowOrderSettings::*method : {&RowOrderSettings::kmeans, &RowOrderSettings::hclust}) {
        RowOrderSettings settings;
        settings.*method = 2;
        EXPECT_EQ(drawn(m, ordered(m, {0, 1, 2}, settings)), "e|abcdf");
        auto clipped = order_rows(m, std::vector<std::size_t>{0, 1, 2}, settings, 2, clip);
        ASSERT_TRUE(clipped);
        EXPECT_EQ(drawn(m, *clipped), "cdef|ab");
    }
}

TEST(RowOrder, Refusals) {
    const Matrix m = matrix_of(2, {{1, 2}, {3, 4}}, {0, 0}, {0, 2});
    RowOrderSettings settings;
    settings.sort_using_samples = {0, 2};
    auto order = order_rows(m, std::vector<std::size_t>{0, 1, 2}, settings, 1);
    ASSERT_FALSE(order);
    EXPECT_EQ(order.error().message(), "Invalid --sortUsingSamples: 3 (the matrix has 2 samples)");
    settings = {};
    settings.kmeans = 3;
    order = order_rows(m, std::vector<std::size_t>{0, 1, 2}, settings, 1);
    ASSERT_FALSE(order);
    EXPECT_EQ(order.error().chain(),
              (std::vector<std::string>{"Invalid --kmeans: 3", "k-means cannot make 3 clusters of 2 rows"}));
    settings.hclust = 2;
    order = order_rows(m, std::vector<std::size_t>{0, 1, 2}, settings, 1);
    ASSERT_FALSE(order);
    EXPECT_EQ(order.error().message(), "Invalid --hclust: --kmeans is given too (cluster by one of them)");
    settings.kmeans = 0;
    settings.hclust = 3;
    order = order_rows(m, std::vector<std::size_t>{0, 1, 2}, settings, 1);
    ASSERT_FALSE(order);
    EXPECT_EQ(order.error().chain(), (std::vector<std::string>{
                                         "Invalid --hclust: 3", "hierarchical clustering cannot make 3 clusters of 2 rows"}));
}

// The sorted-regions file lists the drawn rows with the labels drawn.
TEST(RowOrder, SortedRegionsCarryTheDrawnLabels) {
    const Matrix m = matrix_of(1, {{0}, {10}, {0.5f}, {9.5f}, {0.2f}, {10.2f}}, {0, 0, 0, 1, 1, 1}, {0, 3, 6});
    RowOrderSettings settings;
    settings.kmeans = 2;
    settings.sort = SortOrder::descend;
    const RowOrder order = ordered(m, {0, 1}, settings);
    testing::TempDir dir;
    ASSERT_TRUE(write_sorted_regions(dir.file("r.bed"), m, order.row_order, order.group_boundaries,
                                     order.group_labels));
    const std::vector<std::string> lines = testing::split(testing::read_file(dir.file("r.bed")), '\n');
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_TRUE(lines[0].starts_with("#chrom\tstart\t"));
    std::string names_and_labels;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> fields = testing::split(lines[i], '\t');
        ASSERT_EQ(fields.size(), 13u);
        names_and_labels += fields[3] + ":" + fields[12] + " ";
    }
    EXPECT_EQ(names_and_labels, "f:cluster_1 b:cluster_1 d:cluster_1 c:cluster_2 e:cluster_2 a:cluster_2 ");
    EXPECT_EQ(lines[1], "chr1\t50\t55\tf\t0\t+\t50\t55\t0\t1\t5\t0\tcluster_1");
}

}  // namespace
}  // namespace binscope
