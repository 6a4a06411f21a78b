// filter_test.cpp - row thresholds and the removal of zero rows.
#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "binning_aggregate.hpp"
#include "matrix/filter.hpp"
#include "support/layout_inputs.hpp"

namespace binscope {
namespace {

using binscope::testing::region;

const float nan = missing_value();

bool passes(std::vector<float> row, std::optional<double> min, std::optional<double> max) {
    Params p;
    p.minThreshold = min;
    p.maxThreshold = max;
    return passes_thresholds(row, p);
}

TEST(Thresholds, CompareIn32BitAndIgnoreMissingValues) {
    EXPECT_FALSE(passes({0.0f, 1.0f}, 0.0, {}));
    EXPECT_TRUE(passes({0.5f, nan}, 0.0, {}));
    EXPECT_FALSE(passes({nan}, std::numeric_limits<double>::infinity(), {}));
    EXPECT_FALSE(passes({5.0f, 1.0f}, {}, 5.0));
    EXPECT_TRUE(passes({3.0f, nan}, {}, 5.0));
    EXPECT_FALSE(passes({nan}, {}, -std::numeric_limits<double>::infinity()));
    // 1e-50 is 0.0 as a 32-bit float.
    EXPECT_FALSE(passes({0.0f, 2.0f}, 1e-50, {}));
    EXPECT_TRUE(passes({1e-30f, 2.0f}, 1e-50, {}));
    // 0.1 rounds to the float 0.1f: a value equal to it is at the threshold.
    EXPECT_FALSE(passes({0.1f}, 0.1, {}));
}

Matrix matrix_of(std::vector<std::vector<float>> rows, std::vector<GroupIndex> groups) {
    Matrix m;
    m.cols = rows.empty() ? 0 : rows[0].size();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        m.values.insert(m.values.end(), rows[i].begin(), rows[i].end());
        const auto at = static_cast<std::int64_t>(i);
        m.region_set.regions.push_back(region({{at, at + 1}}, U'.', "chr1", groups[i]));
        m.row_regions.push_back(i);
    }
    m.group_boundaries = compute_group_boundaries(m);
    m.region_set.groups = {"a", "b"};
    m.no_data_rows = 3;
    return m;
}

TEST(SkipZeroRows, RemovesRowsWhoseMeanIsZeroOrThatHoldNoNumber) {
    const float inf = std::numeric_limits<float>::infinity();
    Matrix m = matrix_of({{0, 0, 0}, {0, nan, 0}, {nan, nan, nan}, {2, -2, nan}, {0, 0.001f, 0}, {-0.0f, 0, -0.0f},
                          {inf, -inf, 0}, {1, 2, 3}},
                         {0, 0, 0, 0, 1, 1, 1, 1});
    Matrix kept = skip_zero_rows(m);
    ASSERT_EQ(kept.rows(), 3u);
    EXPECT_EQ(std::tuple(kept.region(0).start(), kept.region(1).start(), kept.region(2).start()), std::tuple(4, 6, 7));
    EXPECT_EQ(kept.values[1], 0.001f);
    EXPECT_EQ(kept.values.size(), 9u);
    // The first group lost every row.
    EXPECT_EQ(kept.group_boundaries, (std::vector<std::size_t>{0, 3}));
    EXPECT_EQ(kept.no_data_rows, 3u);
    EXPECT_EQ(kept.region_set.groups, m.region_set.groups);

    Matrix none = skip_zero_rows(matrix_of({{0, 0}}, {0}));
    EXPECT_EQ(none.rows(), 0u);
    EXPECT_TRUE(none.values.empty());
    EXPECT_EQ(none.group_boundaries, (std::vector<std::size_t>{0, 0}));
}

}  // namespace
}  // namespace binscope
