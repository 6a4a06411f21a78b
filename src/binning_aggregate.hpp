// binning_aggregate.hpp - the statistic of one bin from the runs of equal
// values that make it up, in single precision and position order.
#pragma once

#include <cstdint>
#include <vector>

#include "params.hpp"

namespace binscope {

// The statistic of one bin, fed the bin's positions in position order as
// runs of equal values; a NaN value marks positions without a value, left
// out, or counted as 0.0 when missing_as_zero is set. Every run of k
// positions weighs as k single values: the result is bit for bit the one
// the plain statistic of the bin's values, base by base, gives.
class BinStatistic {
public:
    BinStatistic(AverageType type, bool missing_as_zero) : type_(type), missing_as_zero_(missing_as_zero) {}

    // Starts a new bin.
    void clear();
    void add(float value, std::uint64_t count);
    // True when a std has seen more runs than it keeps: the bin's runs must
    // then be added once more, in the same order, before result().
    bool wants_second_pass();
    float result();

private:
    struct ValueRun {
        float value = 0;
        std::uint64_t count = 0;
    };

    void keep(float value, std::uint64_t count);
    float median();
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
    bool overflow_ = false;     // std: more runs than kept
    bool second_pass_ = false;  // std: adding (v - mean)^2
    float mean_ = 0, squares_ = 0;
};

// q + x + x + ... with `times` additions, each rounded to single precision,
// without performing them one by one (a zero run can be ~2^63 bases long).
float add_repeated(float q, float x, std::uint64_t times);

}  // namespace binscope
