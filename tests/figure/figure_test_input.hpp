// figure_test_input.hpp - building figure inputs for the figure tests.
#pragma once

#include <cmath>
#include <cstddef>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "figure/figure_input.hpp"

namespace binscope::testing {

// A figure input that owns its values: rows in file order, groups of the
// given sizes, samples of the given bins, ticks at both ends.
struct OwnedInput {
    std::vector<float> values;
    FigureInput input;
};

inline std::unique_ptr<OwnedInput> make_input(std::vector<float> values, std::vector<std::size_t> group_sizes,
                                              std::vector<std::size_t> sample_bins) {
    auto owned = std::make_unique<OwnedInput>();
    owned->values = std::move(values);
    FigureInput& in = owned->input;
    in.sample_boundaries = {0};
    for (std::size_t s = 0; s < sample_bins.size(); ++s) {
        in.sample_boundaries.push_back(in.sample_boundaries.back() + sample_bins[s]);
        in.sample_labels.push_back("sample " + std::to_string(s + 1));
        in.ticks.push_back({{0, "-1kb"}, {static_cast<double>(sample_bins[s]) / 2, "TSS"},
                            {static_cast<double>(sample_bins[s]), "1kb"}});
    }
    in.cols = in.sample_boundaries.back();
    in.values = owned->values;
    in.group_boundaries = {0};
    for (std::size_t g = 0; g < group_sizes.size(); ++g) {
        in.group_boundaries.push_back(in.group_boundaries.back() + group_sizes[g]);
        in.group_labels.push_back("group " + std::to_string(g + 1));
    }
    for (std::size_t r = 0; r < in.group_boundaries.back(); ++r) in.row_order.push_back(r);
    return owned;
}

// Random values, a share of them missing, rows drawn in a shuffled order.
inline std::unique_ptr<OwnedInput> random_input(std::vector<std::size_t> group_sizes,
                                                std::vector<std::size_t> sample_bins, double missing,
                                                unsigned seed) {
    std::size_t rows = 0, cols = 0;
    for (auto g : group_sizes) rows += g;
    for (auto b : sample_bins) cols += b;
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(0.0f, 10.0f);
    std::bernoulli_distribution is_missing(missing);
    std::vector<float> values(rows * cols);
    for (auto& v : values) v = is_missing(random) ? std::numeric_limits<float>::quiet_NaN() : value(random);
    auto owned = make_input(std::move(values), group_sizes, sample_bins);
    std::shuffle(owned->input.row_order.begin(), owned->input.row_order.end(), random);
    return owned;
}

}  // namespace binscope::testing
