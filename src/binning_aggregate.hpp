// binning_aggregate.hpp - the statistic of one bin from the runs of equal
// values that make it up, in single precision and position order.
#pragma once

#include <cstdint>
#include <vector>

#include "params.hpp"

namespace binscope {

// The missing value of every bin and cell: the quiet NaN 0x7FC00000.
inline constexpr std::uint32_t kMissingBits = 0x7FC00000u;
float missing_value();

// The statistic of one bin, fed the bin's positions in position order as
// runs of equal values; a NaN value marks positions without a value, left
// out, or counted as 0.0 when missing_as_zero is set. Every run of k
// positions weighs as k single values: the result is bit for bit the one
// the plain statistic of the bin's values, base by base, gives. Memory
// stays bounded: a std or median over more runs than it keeps asks for
// the bin's runs again, once or twice.
class BinStatistic {
public:
    BinStatistic(AverageType type, bool missing_as_zero) : type_(type), missing_as_zero_(missing_as_zero) {}

    // Starts a new bin.
    void clear();
    void add(float value, std::uint64_t count);
    // True when the bin's runs must be added once more, in the same order,
    // before result(); ask again after each further pass.
    bool wants_another_pass();
    float result();

private:
    struct ValueRun {
        float value = 0;
        std::uint64_t count = 0;
    };
    // What add() does with the runs: the first pass, or a further one.
    enum class Pass : std::uint8_t { First, Squares, HighHalves, LowHalves };
    // A rank of the median: the upper half of its order key once the
    // HighHalves pass has found it, and its rank among the values sharing
    // that half.
    struct MedianRank {
        std::uint32_t high = 0;
        std::uint64_t rank = 0;
    };

    void keep(float value, std::uint64_t count);
    void count_halves(float value, std::uint64_t count);
    void locate_ranks();
    float median();
    float counted_median() const;
    float std_dev() const;

    AverageType type_;
    bool missing_as_zero_;
    float sum_ = -0.0f;
    std::uint64_t count_ = 0;
    float extreme_ = 0;
    // Std: the runs in position order, equal neighbours merged; median: the
    // runs in any order, equal values merged when they grow past limit_.
    std::vector<ValueRun> runs_;
    std::size_t limit_ = 0;
    bool overflow_ = false;  // more runs than kept
    Pass pass_ = Pass::First;
    float mean_ = 0, squares_ = 0;  // std: adding (v - mean)^2
    // Median past its kept runs: positions counted by one half of their
    // order key, and the two middle ranks (equal for an odd count).
    std::vector<std::uint64_t> halves_;
    MedianRank ranks_[2];
};

// q + x + x + ... with `times` additions, each rounded to single precision,
// without performing them one by one (a zero run can be ~2^63 bases long).
float add_repeated(float q, float x, std::uint64_t times);

}  // namespace binscope
