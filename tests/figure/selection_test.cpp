// selection_test.cpp - a matrix file cut down to the samples and groups
// chosen, in the order chosen, and the refusals of a choice.
#include "figure/selection.hpp"

#include <gtest/gtest.h>

#include <tuple>

namespace binscope {
namespace {

// Samples "a" (2 bins), "b" (1) and "c" (3); groups "x" (2 rows), "y" (1),
// "z" (2); the value of row r, column c is 100 r + c.
MatrixFile three_by_three(std::vector<std::string> sample_labels = {"a", "b", "c"}) {
    MatrixFile file;
    MatrixHeader& h = file.header;
    h.sample_labels = sample_labels;
    h.sample_boundaries = {0, 2, 3, 6};
    h.upstream = {10, 20, 30};
    h.downstream = {1, 2, 3};
    h.body = {0, 0, 0};
    h.bin_size = {5, 6, 7};
    h.unscaled_5_prime = h.unscaled_3_prime = {0, 0, 0};
    h.ref_point = {"TSS", "TES", "center"};
    h.group_labels = {"x", "y", "z"};
    h.group_boundaries = {0, 2, 3, 5};
    Matrix& m = file.matrix;
    m.cols = 6;
    m.group_boundaries = h.group_boundaries;
    m.sample_labels = sample_labels;
    m.region_set.groups = h.group_labels;
    for (std::size_t r = 0; r < 5; ++r) {
        m.region_set.regions.push_back(Region{"chr1", {{0, 1}}, std::string(1, static_cast<char>('p' + r)), "0",
                                              static_cast<GroupIndex>(r < 2 ? 0 : r < 3 ? 1 : 2), U'+'});
        m.row_regions.push_back(r);
        for (std::size_t c = 0; c < 6; ++c) m.values.push_back(static_cast<float>(100 * r + c));
    }
    return file;
}

TEST(Selection, KeepsTheChosenSamplesAndGroupsInTheirOrder) {
    struct Case {
        std::vector<std::string> samples, groups;
        std::vector<float> values;
        std::vector<std::size_t> sample_bounds, group_bounds;
        std::vector<std::string> sample_labels, group_labels;
        std::vector<std::int64_t> upstream;
    };
    const Case cases[] = {
        {{}, {}, {}, {0, 2, 3, 6}, {0, 2, 3, 5}, {"a", "b", "c"}, {"x", "y", "z"}, {10, 20, 30}},
        {{"c", "1"}, {}, {3, 4, 5, 0, 1, 103, 104, 105, 100, 101, 203, 204, 205, 200, 201, 303, 304, 305, 300, 301,
                          403, 404, 405, 400, 401},
         {0, 3, 5}, {0, 2, 3, 5}, {"c", "a"}, {"x", "y", "z"}, {30, 10}},
        {{"2"}, {"z", "1"}, {302, 402, 2, 102}, {0, 1}, {0, 2, 4}, {"b"}, {"z", "x"}, {20}},
        {{}, {"y"}, {200, 201, 202, 203, 204, 205}, {0, 2, 3, 6}, {0, 1}, {"a", "b", "c"}, {"y"}, {10, 20, 30}},
    };
    // With its regions, and without (a matrix read with its regions only
    // checked).
    for (const bool regions : {true, false}) {
        for (const Case& c : cases) {
            MatrixFile file = three_by_three();
            if (!regions) file.matrix.region_set.regions.clear();
            const std::vector<float> before(file.matrix.values.begin(), file.matrix.values.end());
            ASSERT_TRUE(select_figure_data(file, SelectionSettings{c.samples, c.groups}));
            const std::vector<float> after(file.matrix.values.begin(), file.matrix.values.end());
            EXPECT_EQ(after, c.values.empty() ? before : c.values);
            EXPECT_EQ(std::tie(file.header.sample_boundaries, file.header.group_boundaries,
                               file.matrix.group_boundaries, file.header.sample_labels, file.matrix.sample_labels,
                               file.header.group_labels, file.header.upstream),
                      std::tie(c.sample_bounds, c.group_bounds, c.group_bounds, c.sample_labels, c.sample_labels,
                               c.group_labels, c.upstream));
            EXPECT_EQ(file.matrix.cols, c.sample_bounds.back());
            EXPECT_EQ(file.matrix.rows(), c.group_bounds.back());
            EXPECT_EQ(file.header.ref_point.size(), c.sample_labels.size());
            // Group g of the boundaries is group g of the region set, for the
            // labels the figure takes from it and for each kept region.
            EXPECT_EQ(file.matrix.region_set.groups, c.group_labels);
            for (std::size_t g = 0; g + 1 < c.group_bounds.size() && regions; ++g)
                for (std::size_t r = c.group_bounds[g]; r < c.group_bounds[g + 1]; ++r)
                    EXPECT_EQ(file.matrix.region(r).group, g);
        }
    }
}

TEST(Selection, Refusals) {
    const std::pair<SelectionSettings, std::string> cases[] = {
        {{{"d"}, {}}, "Invalid --samples: \"d\" is neither a sample label nor a number from 1 to 3"},
        {{{"0"}, {}}, "Invalid --samples: \"0\" is neither a sample label nor a number from 1 to 3"},
        {{{"4"}, {}}, "Invalid --samples: \"4\" is neither a sample label nor a number from 1 to 3"},
        {{{"+1"}, {}}, "Invalid --samples: \"+1\" is neither a sample label nor a number from 1 to 3"},
        {{{"a", "1"}, {}}, "Invalid --samples: sample 1 (\"a\") is chosen twice"},
        {{{}, {"3", "w"}}, "Invalid --groups: \"w\" is neither a group label nor a number from 1 to 3"},
        {{{}, {"y", "y"}}, "Invalid --groups: group 2 (\"y\") is chosen twice"},
    };
    for (const auto& [selection, message] : cases) {
        MatrixFile file = three_by_three();
        const Status status = select_figure_data(file, selection);
        ASSERT_FALSE(status) << message;
        EXPECT_EQ(status.error().message(), message);
    }
    // A label two samples share is refused, a number still picks either.
    MatrixFile shared = three_by_three({"a", "b", "a"});
    const Status status = select_figure_data(shared, {{"a"}, {}});
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().message(), "Invalid --samples: \"a\" is the label of samples 1 and 3; choose by number");
    EXPECT_TRUE(select_figure_data(shared, {{"3", "b"}, {}}));
    EXPECT_EQ(shared.header.sample_labels, (std::vector<std::string>{"a", "b"}));
}

}  // namespace
}  // namespace binscope
