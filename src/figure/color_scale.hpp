// color_scale.hpp - the value range each sample's colours span: the user's
// limits, or robust percentiles of the sample's values.
#pragma once

#include <cstddef>
#include <vector>

#include "error.hpp"
#include "figure/figure_input.hpp"
#include "figure/figure_options.hpp"

namespace binscope {

// Values at or below `low` get the map's first colour, at or above `high`
// its last; low < high always.
struct ColorLimits {
    double low = 0;
    double high = 1;
    friend bool operator==(const ColorLimits&, const ColorLimits&) = default;
};

// The robust default limits: these percentiles of a sample's finite values.
inline constexpr double kLowPercentile = 1.0;
inline constexpr double kHighPercentile = 99.0;

// The 0-based rank of a percentile among `count` (at least 1) values in
// ascending order: the lower neighbour, floor(percentile / 100 x (count - 1)).
std::size_t percentile_rank(double percentile, std::size_t count);

// The limits of a sample with no finite value at all.
inline constexpr ColorLimits kLimitsWithoutValues{0.0, 1.0};

// One pair of limits per sample of `input`. A limit the user gave (one for
// every sample, or one per sample) is kept; a missing one comes from the
// percentiles above of the sample's finite values (NaN and infinities
// left out). When those percentiles coincide, the sample's smallest and
// largest finite values are used; when those coincide too, a small range
// around the value. With settings.shared_scale the missing limits come
// from the percentiles of every sample's values together.
// The values are counted on `threads` workers; the result does not depend
// on their number.
Result<std::vector<ColorLimits>> color_limits(const FigureInput& input, const ColorSettings& settings,
                                              std::size_t threads);

// Exact order statistics of the finite values of columns [begin, end) of
// every row of a matrix, found by counting the values' bits in two passes
// instead of copying and sorting them.
// Rows are counted on `threads` workers, each into counters of its own.
class RankSelector {
public:
    static Result<RankSelector> create(const FigureInput& input, std::size_t col_begin, std::size_t col_end,
                                       std::size_t threads);
    // The number of finite values.
    std::size_t count() const { return count_; }
    // The values of the given 0-based ascending ranks (each below count()).
    Result<std::vector<double>> values_of_ranks(const std::vector<std::size_t>& ranks) const;

private:
    RankSelector(const FigureInput& input, std::size_t col_begin, std::size_t col_end, std::size_t threads)
        : input_(&input), begin_(col_begin), end_(col_end), threads_(threads) {}

    const FigureInput* input_;
    std::size_t begin_, end_, threads_;
    std::vector<std::size_t> high_counts_;  // per top 16 bits of the order key
    std::size_t count_ = 0;
};

}  // namespace binscope
