// figure_data.cpp - puts a figure's data together and checks the user's
// labels and colour limits against the matrix.
#include "figure/figure_data.hpp"

#include <fmt/format.h>

namespace binscope {

namespace {

std::string plural(std::size_t count, std::string_view noun) {
    return fmt::format("{} {}{}", count, noun, count == 1 ? "" : "s");
}

// The user's labels when given, else the defaults; refused when the
// user gives another count than there are things to label.
Result<std::vector<std::string>> labels(const std::vector<std::string>& given, std::vector<std::string> defaults,
                                        std::string_view option, std::string_view noun) {
    if (given.empty()) return defaults;
    if (given.size() != defaults.size())
        return fail(fmt::format("Invalid {}: {} for {}", option, plural(given.size(), "label"),
                                plural(defaults.size(), noun)));
    return given;
}

}  // namespace

Result<FigureInput> make_figure_input(const MatrixFile& file, RowOrder order, const FigureStyle& style,
                                      std::vector<std::vector<AxisTick>> ticks) {
    const Matrix& matrix = file.matrix;
    const std::vector<std::size_t>& samples = file.header.sample_boundaries;
    const std::size_t sample_count = samples.empty() ? 0 : samples.size() - 1;
    auto sample_labels = labels(style.sample_labels, file.header.sample_labels, "--samplesLabel", "sample");
    if (!sample_labels) return fail(std::move(sample_labels.error()));
    auto group_labels = labels(style.group_labels, std::move(order.group_labels), "--groupLabels", "group");
    if (!group_labels) return fail(std::move(group_labels.error()));
    if (sample_labels->size() != sample_count || ticks.size() != sample_count)
        return fail(fmt::format("The matrix has {} but {} and {} of axis ticks", plural(sample_count, "sample"),
                                plural(sample_labels->size(), "sample label"), plural(ticks.size(), "list")));

    FigureInput input;
    input.values = std::span<const float>(matrix.values.data(), matrix.values.size());
    input.cols = matrix.cols;
    input.row_order = std::move(order.row_order);
    input.group_boundaries = std::move(order.group_boundaries);
    input.group_labels = std::move(*group_labels);
    input.sample_boundaries = samples;
    input.sample_labels = std::move(*sample_labels);
    input.ticks = std::move(ticks);
    return input;
}

Status check_color_limits(const ColorSettings& color, std::size_t samples) {
    for (const auto& [option, values] : {std::pair{"--zMin", &color.z_min}, std::pair{"--zMax", &color.z_max}})
        if (values->size() > 1 && values->size() != samples)
            return fail(fmt::format("Invalid {}: {} for {} (give one for every sample, or one per sample)", option,
                                    plural(values->size(), "value"), plural(samples, "sample")));
    for (std::size_t s = 0; s < samples; ++s) {
        if (color.z_min.empty() || color.z_max.empty()) break;
        const double low = color.z_min[color.z_min.size() == 1 ? 0 : s];
        const double high = color.z_max[color.z_max.size() == 1 ? 0 : s];
        if (!(low < high))
            return fail(fmt::format("Invalid --zMin and --zMax: {} is not below {} (sample {})", low, high, s + 1));
    }
    return {};
}

}  // namespace binscope
