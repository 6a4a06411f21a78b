// color_scale.cpp - per-sample colour limits, from the user or from exact
// percentiles found by selecting on the bits of the values.
#include "figure/color_scale.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <fmt/format.h>
#include <optional>

#include "worker_pool.hpp"

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

std::size_t rows_of(const FigureInput& input) { return input.cols == 0 ? 0 : input.values.size() / input.cols; }

// The order keys of finite floats have their top 16 bits in this range;
// infinities and NaNs fall outside it, so the counting needs no test.
constexpr std::uint32_t kFirstFiniteBucket = 0x0080, kLastFiniteBucket = 0xff7f;

// Calls visit(key) for the order key of every value of rows [row_begin, row_end).
template <class Visit>
void each_key(const FigureInput& input, std::size_t row_begin, std::size_t row_end, std::size_t col_begin,
              std::size_t col_end, Visit visit) {
    for (std::size_t row = row_begin; row < row_end; ++row) {
        const float* line = input.values.data() + row * input.cols;
        for (std::size_t col = col_begin; col < col_end; ++col) visit(order_key(line[col]));
    }
}

// Counters of `size` entries filled by fill(row_begin, row_end, counters)
// for a share of the rows on each worker, then added up.
template <class Fill>
Result<std::vector<std::size_t>> count_on_workers(std::size_t rows, std::size_t size, std::size_t threads, Fill fill) {
    threads = std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(rows, 1));
    std::vector<std::vector<std::size_t>> parts(threads, std::vector<std::size_t>(size, 0));
    auto status = run_on_workers(threads, [&](std::size_t w, const std::atomic<bool>&) {
        fill(rows * w / threads, rows * (w + 1) / threads, parts[w]);
    });
    if (!status) return fail(std::move(status).error().context("Finding the colour limits"));
    for (std::size_t w = 1; w < threads; ++w)
        for (std::size_t i = 0; i < size; ++i) parts[0][i] += parts[w][i];
    return std::move(parts[0]);
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
Result<ColorLimits> robust_limits(const FigureInput& input, std::size_t begin, std::size_t end, std::size_t threads) {
    auto selector = RankSelector::create(input, begin, end, threads);
    if (!selector) return fail(std::move(selector).error());
    const std::size_t count = selector->count();
    if (count == 0) return kLimitsWithoutValues;
    auto values = selector->values_of_ranks(
        {percentile_rank(kLowPercentile, count), percentile_rank(kHighPercentile, count), 0, count - 1});
    if (!values) return fail(std::move(values).error());
    const auto& v = *values;
    if (v[0] < v[1]) return ColorLimits{v[0], v[1]};
    if (v[2] < v[3]) return ColorLimits{v[2], v[3]};
    const double half = std::max(0.5, std::abs(v[2]) * 0.01);
    return ColorLimits{v[2] - half, v[2] + half};
}

}  // namespace

std::size_t percentile_rank(double percentile, std::size_t count) {
    return static_cast<std::size_t>(std::floor(percentile / 100.0 * static_cast<double>(count - 1)));
}

Result<RankSelector> RankSelector::create(const FigureInput& input, std::size_t col_begin, std::size_t col_end,
                                          std::size_t threads) {
    RankSelector selector(input, col_begin, col_end, threads);
    auto counts = count_on_workers(rows_of(input), 65536, threads, [&](std::size_t first, std::size_t last, auto& c) {
        each_key(input, first, last, col_begin, col_end, [&](std::uint32_t key) { ++c[key >> 16]; });
    });
    if (!counts) return fail(std::move(counts).error());
    selector.high_counts_ = std::move(*counts);
    for (std::uint32_t bucket = 0; bucket < 65536; ++bucket)
        if (bucket < kFirstFiniteBucket || bucket > kLastFiniteBucket) selector.high_counts_[bucket] = 0;
    for (auto c : selector.high_counts_) selector.count_ += c;
    return selector;
}

Result<std::vector<double>> RankSelector::values_of_ranks(const std::vector<std::size_t>& ranks) const {
    // The bucket of the key's high half holding each rank, and the rank
    // within it; then one pass counts the low halves within those buckets.
    const std::size_t n = ranks.size();
    std::vector<std::uint32_t> bucket(n, 0);
    std::vector<std::size_t> rest(ranks);
    for (std::size_t i = 0; i < n; ++i)
        while (bucket[i] < 65535 && rest[i] >= high_counts_[bucket[i]]) rest[i] -= high_counts_[bucket[i]++];
    // Rank i's counters are entries [i * 65536, (i + 1) * 65536); `slot`
    // tells which buckets are counted (in the counters of their first rank).
    std::vector<std::uint32_t> slot(65536, 0);
    for (std::size_t i = n; i-- > 0;) slot[bucket[i]] = static_cast<std::uint32_t>(i + 1);
    auto low_counts = count_on_workers(rows_of(*input_), n * 65536, threads_, [&](auto first, auto last, auto& c) {
        each_key(*input_, first, last, begin_, end_, [&](std::uint32_t key) {
            if (const auto at = slot[key >> 16]) ++c[(at - 1) * 65536 + (key & 0xffffu)];
        });
    });
    if (!low_counts) return fail(std::move(low_counts).error());
    std::vector<double> values(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t* counts = low_counts->data() + (slot[bucket[i]] - 1) * 65536;
        std::uint32_t low = 0;
        while (low < 65535 && rest[i] >= counts[low]) rest[i] -= counts[low++];
        values[i] = from_key((bucket[i] << 16) | low);
    }
    return values;
}

Result<std::vector<ColorLimits>> color_limits(const FigureInput& input, const ColorSettings& settings,
                                              std::size_t threads) {
    const std::size_t samples = input.sample_labels.size();
    std::optional<ColorLimits> all;  // with a shared scale: the limits of every value drawn
    if (settings.shared_scale && samples > 0) {
        auto robust = robust_limits(input, input.sample_boundaries.front(), input.sample_boundaries.back(), threads);
        if (!robust) return fail(std::move(robust).error());
        all = *robust;
    }
    std::vector<ColorLimits> limits;
    for (std::size_t s = 0; s < samples; ++s) {
        auto low = given_limit(settings.z_min, s, samples, "minimum");
        if (!low) return fail(std::move(low).error());
        auto high = given_limit(settings.z_max, s, samples, "maximum");
        if (!high) return fail(std::move(high).error());
        ColorLimits chosen{0, 0};
        if ((!*low || !*high) && all) {
            chosen = *all;
        } else if (!*low || !*high) {
            auto robust = robust_limits(input, input.sample_boundaries[s], input.sample_boundaries[s + 1], threads);
            if (!robust) return fail(std::move(robust).error());
            chosen = *robust;
        }
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
