// figure_data_test.cpp - a figure's data from a matrix file and a row
// order: labels given by the user or the file, and their refusals.
#include "figure/figure_data.hpp"

#include <gtest/gtest.h>

#include <tuple>

namespace binscope {
namespace {

// Two samples of two columns, three rows.
MatrixFile two_samples() {
    MatrixFile file;
    file.header.sample_labels = {"s1", "s2"};
    file.header.sample_boundaries = {0, 2, 4};
    file.matrix.cols = 4;
    file.matrix.values.assign(12, 1.0f);
    return file;
}

RowOrder two_groups() { return RowOrder{{2, 0, 1}, {0, 1, 3}, {"g1", "g2"}}; }

std::vector<std::vector<AxisTick>> ticks(std::size_t samples) {
    return std::vector<std::vector<AxisTick>>(samples, {{0, "-1kb"}, {2, "TSS"}});
}

TEST(FigureData, LabelsFromTheFileOrTheUser) {
    const MatrixFile file = two_samples();
    auto input = make_figure_input(file, two_groups(), {}, ticks(2));
    ASSERT_TRUE(input);
    EXPECT_EQ(std::tie(input->row_order, input->group_boundaries, input->group_labels, input->sample_boundaries,
                       input->sample_labels, input->cols),
              std::tuple(std::vector<std::size_t>{2, 0, 1}, std::vector<std::size_t>{0, 1, 3},
                         std::vector<std::string>{"g1", "g2"}, std::vector<std::size_t>{0, 2, 4},
                         std::vector<std::string>{"s1", "s2"}, 4u));
    EXPECT_EQ(std::tuple(input->values.data(), input->values.size()), std::tuple(file.matrix.values.data(), 12u));
    EXPECT_EQ(input->ticks[1][1].label, "TSS");

    FigureStyle style;
    style.sample_labels = {"H3K4me3", "input"};
    style.group_labels = {"up", "down"};
    input = make_figure_input(file, two_groups(), style, ticks(2));
    ASSERT_TRUE(input);
    EXPECT_EQ(std::tie(input->sample_labels, input->group_labels),
              std::tuple(style.sample_labels, style.group_labels));
}

TEST(FigureData, LabelCountsMustMatch) {
    const MatrixFile file = two_samples();
    FigureStyle samples;
    samples.sample_labels = {"one"};
    FigureStyle groups;
    groups.group_labels = {"a", "b", "c"};
    const std::pair<Result<FigureInput>, std::string> cases[] = {
        {make_figure_input(file, two_groups(), samples, ticks(2)), "Invalid --samplesLabel: 1 label for 2 samples"},
        {make_figure_input(file, two_groups(), groups, ticks(2)), "Invalid --groupLabels: 3 labels for 2 groups"},
        {make_figure_input(file, two_groups(), {}, ticks(1)),
         "The matrix has 2 samples but 2 sample labels and 1 list of axis ticks"},
    };
    for (const auto& [result, message] : cases) {
        ASSERT_FALSE(result) << message;
        EXPECT_EQ(result.error().message(), message);
    }
}

TEST(FigureData, ColorLimitsOneOrOnePerSample) {
    const auto check = [](std::vector<double> low, std::vector<double> high) {
        ColorSettings color;
        color.z_min = std::move(low);
        color.z_max = std::move(high);
        const Status status = check_color_limits(color, 2);
        return status ? std::string() : status.error().message();
    };
    EXPECT_EQ(check({}, {}), "");
    EXPECT_EQ(check({0}, {}), "");
    EXPECT_EQ(check({0}, {1, 2}), "");
    EXPECT_EQ(check({0, 1}, {5}), "");
    EXPECT_EQ(check({0, 1, 2}, {}),
              "Invalid --zMin: 3 values for 2 samples (give one for every sample, or one per sample)");
    EXPECT_EQ(check({}, {1, 2, 3}),
              "Invalid --zMax: 3 values for 2 samples (give one for every sample, or one per sample)");
    EXPECT_EQ(check({0, 3}, {1, 2}), "Invalid --zMin and --zMax: 3 is not below 2 (sample 2)");
    EXPECT_EQ(check({1}, {1}), "Invalid --zMin and --zMax: 1 is not below 1 (sample 1)");
}

}  // namespace
}  // namespace binscope
