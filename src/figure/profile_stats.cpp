// profile_stats.cpp - per-bin statistics across the rows of a group.
#include "figure/profile_stats.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

#include "figure/nan_bits.hpp"
#include "worker_pool.hpp"

namespace binscope {
namespace {

// Columns summed in one pass over the rows, at most: the bins are cut into
// one block per thread (fewer passes over the rows, each reading more of a
// row), blocks of 16 bins at least.
constexpr std::size_t kBlock = 256;
constexpr std::size_t kMinBlock = 16;

double median_of(std::vector<float>& values) {
    const std::size_t n = values.size();
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(n / 2);
    std::nth_element(values.begin(), middle, values.end());
    const double upper = *middle;
    if (n % 2 == 1) return upper;
    const double lower = *std::max_element(values.begin(), middle);
    return lower + (upper - lower) / 2.0;
}

// Calls visit(bin, value) for each non-missing value of bins [first, last)
// of drawn rows [row_begin, row_end), row by row.
template <class Visit>
void each_value(const FigureInput& input, std::size_t row_begin, std::size_t row_end, std::size_t col_begin,
                std::size_t first, std::size_t last, Visit visit) {
    for (std::size_t r = row_begin; r < row_end; ++r) {
        const float* row = input.values.data() + input.row_order[r] * input.cols + col_begin;
        for (std::size_t bin = first; bin < last; ++bin)
            if (!std::isnan(row[bin])) visit(bin, row[bin]);
    }
}

// Bins [first, last) (at most kBlock of them) of `line`: counts and means in
// one pass over the rows, squared deviations in a second one when a band
// needs them, and the values gathered in a third for a median.
void summarise_block(const FigureInput& input, std::size_t row_begin, std::size_t row_end, std::size_t col_begin,
                     std::size_t first, std::size_t last, const ProfileSettings& settings, ProfileLine& line) {
    std::array<double, kBlock> sums{}, squares{};
    std::array<std::size_t, kBlock> counts{};
    const std::size_t width = last - first;
    for (std::size_t r = row_begin; r < row_end; ++r) {
        const float* row = input.values.data() + input.row_order[r] * input.cols + col_begin + first;
        // Without branches, so that the loop runs on vectors: a missing
        // value adds +0.0, which changes no sum (one that starts at +0.0
        // never becomes -0.0).
        for (std::size_t i = 0; i < width; ++i) {
            const std::uint32_t missing = nan_bit(row[i]);
            sums[i] += static_cast<double>(zero_if_nan(row[i], missing));
            counts[i] += 1u - missing;
        }
    }
    for (std::size_t bin = first; bin < last; ++bin) {
        line.count[bin] = counts[bin - first];
        line.center[bin] = line.count[bin] == 0 ? std::numeric_limits<double>::quiet_NaN()
                                                : sums[bin - first] / static_cast<double>(line.count[bin]);
    }
    if (settings.band != ProfileBand::none) {
        each_value(input, row_begin, row_end, col_begin, first, last, [&](std::size_t bin, float v) {
            squares[bin - first] += (v - line.center[bin]) * (v - line.center[bin]);
        });
        for (std::size_t bin = first; bin < last; ++bin) {
            const double n = static_cast<double>(line.count[bin]);
            const double deviation = n < 2 ? 0.0 : std::sqrt(squares[bin - first] / (n - 1));
            line.spread[bin] = settings.band == ProfileBand::standard_error ? deviation / std::sqrt(std::max(n, 1.0))
                                                                            : deviation;
        }
    }
    if (settings.statistic != ProfileStatistic::median) return;
    for (std::size_t bin = first; bin < last; ++bin) {
        std::vector<float> values;
        values.reserve(line.count[bin]);
        each_value(input, row_begin, row_end, col_begin, bin, bin + 1, [&](std::size_t, float v) { values.push_back(v); });
        if (!values.empty()) line.center[bin] = median_of(values);
    }
}

}  // namespace

Result<ProfileLine> profile_line(const FigureInput& input, std::size_t row_begin, std::size_t row_end,
                                 std::size_t col_begin, std::size_t col_end, const ProfileSettings& settings,
                                 std::size_t threads) {
    const std::size_t bins = col_end - col_begin;
    ProfileLine line{std::vector<double>(bins, 0.0), std::vector<double>(bins, 0.0), std::vector<std::size_t>(bins, 0)};
    const std::size_t per_thread = (bins + std::max<std::size_t>(threads, 1) - 1) / std::max<std::size_t>(threads, 1);
    const std::size_t width = std::clamp(per_thread, kMinBlock, kBlock);
    const std::size_t blocks = (bins + width - 1) / width;
    if (blocks == 0) return line;
    ChunkCounter counter(blocks, 1);
    auto status = run_on_workers(std::clamp<std::size_t>(threads, 1, blocks), [&](std::size_t, const std::atomic<bool>& cancelled) {
        std::size_t begin = 0, end = 0;
        while (!cancelled && counter.next(begin, end))
            for (std::size_t b = begin; b < end; ++b)
                summarise_block(input, row_begin, row_end, col_begin, b * width, std::min(bins, (b + 1) * width),
                                settings, line);
    });
    if (!status) return fail(std::move(status).error().context("Computing a profile"));
    return line;
}

}  // namespace binscope
