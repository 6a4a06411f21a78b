// color_scale.cpp - per-sample colour limits, from the user or from exact
// percentiles found by selecting on the bits of the values.
#include "figure/color_scale.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <fmt/format.h>
#include <optional>

namespace binscope {
namespace {

// A key that orders finite floats as their values do.
std::uint32_t order_key(float value) {
    const auto bits = std::bit_cast<std::uint32_t>(value);
    return (bits & 0x80000000u) ? ~bits : (bits | 0x80000000u);
}

float from_key(std::uint32_t key) {
    return std::bit_cast<float>((key & 0x80000000u) ? (key & 0x7fffffffu) : ~key);
}

template <class Visit>
void each_finite(const FigureInput& input, std::size_t col_begin, std::size_t col_end, Visit visit) {
    const std::size_t rows = input.cols == 0 ? 0 : input.values.size() / input.cols;
    for (std::size_t row = 0; row < rows; ++row) {
        const float* line = input.values.data() + row * input.cols;
        for (std::size_t col = col_begin; col < col_end; ++col)
            if (std::isfinite(line[col])) visit(line[col]);
    }
}

// The user's limit of `sample` from `given` (empty, one for all or one per sample).
Result<std::optional<double>> given_limit(const std::vector<double>& given, std::size_t sample,
                                          std::size_t samples, const char* what) {
    if (given.empty()) return std::nullopt;
    if (given.size() == 1) return given[0];
    if (given.size() != samples)
        return fail(fmt::format("{} colour {}s given for {} samples: give one for all samples or one per sample",
                                given.size(), what, samples));
    return given[sample];
}

// Robust limits of one sample's columns.
ColorLimits robust_limits(const FigureInput& input, std::size_t begin, std::size_t end) {
    const RankSelector selector(input, begin, end);
    const std::size_t count = selector.count();
    if (count == 0) return kLimitsWithoutValues;
    auto rank_of = [&](double percentile) {
        return static_cast<std::size_t>(std::floor(percentile / 100.0 * static_cast<double>(count - 1)));
    };
    const auto v = selector.values_of_ranks({rank_of(kLowPercentile), rank_of(kHighPercentile), 0, count - 1});
    if (v[0] < v[1]) return {v[0], v[1]};
    if (v[2] < v[3]) return {v[2], v[3]};
    const double half = std::max(0.5, std::abs(v[2]) * 0.01);
    return {v[2] - half, v[2] + half};
}

}  // namespace

RankSelector::RankSelector(const FigureInput& input, std::size_t col_begin, std::size_t col_end)
    : input_(input), begin_(col_begin), end_(col_end), high_counts_(65536, 0) {
    each_finite(input_, begin_, end_, [&](float v) { ++high_counts_[order_key(v) >> 16]; });
    for (auto c : high_counts_) count_ += c;
}

std::vector<double> RankSelector::values_of_ranks(const std::vector<std::size_t>& ranks) const {
    // The bucket of the key's high half holding each rank, and the rank
    // within it; then one pass counts the low halves within those buckets.
    const std::size_t n = ranks.size();
    std::vector<std::uint32_t> bucket(n, 0);
    std::vector<std::size_t> rest(ranks);
    for (std::size_t i = 0; i < n; ++i)
        while (bucket[i] < 65535 && rest[i] >= high_counts_[bucket[i]]) rest[i] -= high_counts_[bucket[i]++];
    std::vector<std::vector<std::size_t>> low_counts(n, std::vector<std::size_t>(65536, 0));
    each_finite(input_, begin_, end_, [&](float v) {
        const auto key = order_key(v);
        for (std::size_t i = 0; i < n; ++i)
            if ((key >> 16) == bucket[i]) ++low_counts[i][key & 0xffffu];
    });
    std::vector<double> values(n);
    for (std::size_t i = 0; i < n; ++i) {
        std::uint32_t low = 0;
        while (low < 65535 && rest[i] >= low_counts[i][low]) rest[i] -= low_counts[i][low++];
        values[i] = from_key((bucket[i] << 16) | low);
    }
    return values;
}

Result<std::vector<ColorLimits>> color_limits(const FigureInput& input, const ColorSettings& settings) {
    const std::size_t samples = input.sample_labels.size();
    std::vector<ColorLimits> limits;
    for (std::size_t s = 0; s < samples; ++s) {
        auto low = given_limit(settings.z_min, s, samples, "minimum");
        if (!low) return fail(std::move(low).error());
        auto high = given_limit(settings.z_max, s, samples, "maximum");
        if (!high) return fail(std::move(high).error());
        ColorLimits chosen{0, 0};
        if (!*low || !*high) chosen = robust_limits(input, input.sample_boundaries[s], input.sample_boundaries[s + 1]);
        if (*low) chosen.low = **low;
        if (*high) chosen.high = **high;
        if (!(chosen.low < chosen.high))
            return fail(fmt::format("The colour range of sample '{}' is empty: its minimum {} is not below its maximum {}",
                                    input.sample_labels[s], chosen.low, chosen.high));
        limits.push_back(chosen);
    }
    return limits;
}

}  // namespace binscope
