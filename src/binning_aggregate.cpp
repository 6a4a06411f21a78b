// binning_aggregate.cpp - the statistic of one bin (mean, median, min, max,
// sum, std) in single precision, summing strictly in position order.
#include "binning_aggregate.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>

namespace binscope {

namespace {

// Runs a std keeps for its second sum before it asks for the runs again.
constexpr std::size_t kKeptRuns = std::size_t{1} << 16;
// Distinct values a median keeps before it counts instead (4 MiB of runs).
constexpr std::size_t kMedianRuns = std::size_t{1} << 18;
// Counters for one half of an order key.
constexpr std::size_t kHalves = std::size_t{1} << 16;

// s + v + v + ... (`count` additions of v), each rounded, in order.
inline float add_run(float s, float v, std::uint64_t count) {
    if (count < 16) {
        for (std::uint64_t i = 0; i < count; ++i) s += v;
        return s;
    }
    return add_repeated(s, v, count);
}

// A key that orders values as numbers, -0.0 before 0.0.
inline std::uint32_t order_key(float v) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(v);
    return bits & 0x80000000u ? ~bits : bits | 0x80000000u;
}

inline float from_order_key(std::uint32_t key) {
    return std::bit_cast<float>(key & 0x80000000u ? key & 0x7FFFFFFFu : ~key);
}

// Repetitions up to this many are added one by one: each addition waits
// only for the previous one, which beats the binade bookkeeping of
// add_repeated until runs grow to a few hundred.
constexpr std::uint64_t kPlainAdditions = 192;
// ... but from this many on a run that stays within a few binades of the
// sum is added a binade at a time.
constexpr std::uint64_t kFewBinadesFrom = 48;

// The weight of the lowest set bit of a float; +inf for zero.
double lowest_bit(float f) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(f) & 0x7FFFFFFFu;
    if (bits == 0) return std::numeric_limits<double>::infinity();
    const std::uint32_t biased = bits >> 23;
    const std::uint32_t significand = biased == 0 ? bits : (bits & 0x7FFFFFu) | 0x800000u;
    const int exponent = (biased == 0 ? -149 : static_cast<int>(biased) - 150) + std::countr_zero(significand);
    return std::bit_cast<double>(static_cast<std::uint64_t>(exponent + 1023) << 52);
}


// q + times x when no partial sum rounds, or nothing. When every partial
// sum q + j x is a multiple of the finer of the two lowest bits g and below
// 2^24 g in magnitude, each is a float, no addition rounds, and the result
// is q + times x (exact in double for times below 2^29). The partial sums
// run monotonically from q to the result, so checking both ends suffices.
// Scores such as counts or quarter steps always take this way.
std::optional<float> unrounded_sum(float q, float x, std::uint64_t times) {
    if (times >= (std::uint64_t{1} << 29)) return std::nullopt;
    const double g = std::min(lowest_bit(q), lowest_bit(x));
    const double r = static_cast<double>(q) + static_cast<double>(times) * static_cast<double>(x);
    const double limit = g * 0x1p24;
    if (std::fabs(static_cast<double>(q)) < limit && std::fabs(r) < limit &&
        std::fabs(r) <= std::numeric_limits<float>::max())
        return static_cast<float>(r);
    return std::nullopt;
}

// q + x + ... for x > 0, a binade at a time. Inside the binade
// [2^e, 2^(e+1)) of a positive normal q every sum is a multiple of the
// spacing u = 2^(e-23), q = Q u with Q in [2^23, 2^24), and q + x rounds to
// Q + X rounded to an integer, ties to even, where X = x / u (exact: a
// power-of-two scaling). Apart from a tie's first step every step then
// adds the same number of spacings, so all the steps that stay inside the
// binade are taken at once; the step out of it is an ordinary addition.
float add_by_binades(float q, float x, std::uint64_t times) {
    constexpr std::uint64_t kTop = std::uint64_t{1} << 24;  // Q of the next binade's first value
    while (times > 0) {
        const float a = q + x;
        --times;
        if (a == q) return q;  // absorbed: every further addition is too
        q = a;
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(q);
        const std::uint32_t biased = bits >> 23;  // sign bit clear for positive q
        if (times == 0 || q <= 0.0f || biased == 0 || biased == 255) continue;
        // u and 1 / u as doubles built from their exponents.
        const double u = std::bit_cast<double>(static_cast<std::uint64_t>(biased - 150 + 1023) << 52);
        const double per_u = std::bit_cast<double>(static_cast<std::uint64_t>(150 - biased + 1023) << 52);
        const double spacings = static_cast<double>(x) * per_u;
        if (spacings >= static_cast<double>(kTop)) continue;  // leaves the binade at once
        const auto m = static_cast<std::uint64_t>(spacings);  // truncation: spacings > 0
        const double fraction = spacings - static_cast<double>(m);
        auto step = [&](std::uint64_t from) {
            const bool up = fraction > 0.5 || (fraction == 0.5 && ((from + m) & 1) != 0);
            return from + m + (up ? 1 : 0);
        };
        const std::uint64_t first = step((bits & 0x7FFFFFu) | 0x800000u);
        if (first >= kTop) continue;  // the next step leaves the binade
        const std::uint64_t increment = step(first) - first;
        --times;
        std::uint64_t end = first;
        if (increment == 0) {
            times = 0;  // absorbed from here on
        } else {
            // All the remaining steps, or as many as stay in the binade
            // (increment and first are below 2^24, so nothing overflows).
            const std::uint64_t more = times < kTop && first + times * increment < kTop
                                           ? times
                                           : std::min(times, (kTop - 1 - first) / increment);
            end += more * increment;
            times -= more;
        }
        q = static_cast<float>(static_cast<double>(end) * u);
    }
    return q;
}

}  // namespace

float missing_value() { return std::bit_cast<float>(kMissingBits); }

float add_repeated(float q, float x, std::uint64_t times) {
    if (times == 0) return q;
    // Adding zero, an infinity or NaN changes nothing after the first time.
    if (x == 0.0f || !std::isfinite(x) || !std::isfinite(q)) return q + x;
    if (const auto exact = unrounded_sum(q, x, times)) return *exact;
    // Up to a few hundred additions one by one cost less than the binade
    // bookkeeping, unless the sum is already large beside the run, when
    // the whole run takes a binade or two.
    const bool few_binades = std::fabs(static_cast<double>(q)) * 16.0 >=
                             std::fabs(static_cast<double>(x)) * static_cast<double>(times);
    if (times <= kPlainAdditions && !(few_binades && times >= kFewBinadesFrom)) {
        for (std::uint64_t i = 0; i < times; ++i) q += x;
        return q;
    }
    // Rounding to nearest is symmetric in sign.
    if (std::signbit(x)) return -add_by_binades(-q, -x, times);
    return add_by_binades(q, x, times);
}

void BinStatistic::clear() {
    sum_ = -0.0f;
    count_ = 0;
    extreme_ = type_ == AverageType::Min ? std::numeric_limits<float>::infinity()
                                         : -std::numeric_limits<float>::infinity();
    runs_.clear();
    limit_ = kKeptRuns;
    overflow_ = false;
    pass_ = Pass::First;
}

void BinStatistic::add(float value, std::uint64_t count) {
    if (std::isnan(value)) {
        if (!missing_as_zero_) return;
        value = 0.0f;
    }
    if (pass_ == Pass::Squares) {
        const float dv = value - mean_;
        squares_ = add_run(squares_, dv * dv, count);
        return;
    }
    if (pass_ != Pass::First) return count_halves(value, count);
    count_ += count;
    switch (type_) {
        case AverageType::Mean:
        case AverageType::Sum: sum_ = add_run(sum_, value, count); break;
        case AverageType::Min: extreme_ = value < extreme_ ? value : extreme_; break;
        case AverageType::Max: extreme_ = value > extreme_ ? value : extreme_; break;
        case AverageType::Std:
            sum_ = add_run(sum_, value, count);
            keep(value, count);
            break;
        case AverageType::Median: keep(value, count); break;
    }
}

void BinStatistic::keep(float value, std::uint64_t count) {
    if (overflow_) return;
    if (type_ == AverageType::Std) {
        if (!runs_.empty() && std::bit_cast<std::uint32_t>(runs_.back().value) == std::bit_cast<std::uint32_t>(value))
            runs_.back().count += count;
        else if (runs_.size() < limit_)
            runs_.push_back({value, count});
        else
            overflow_ = true;
        return;
    }
    runs_.push_back({value, count});
    if (runs_.size() < limit_) return;
    // Only the multiset matters to a median: equal values become one run,
    // and the limit grows when that leaves more than half of it, up to
    // kMedianRuns; past that the median is found by counting.
    std::sort(runs_.begin(), runs_.end(),
              [](const ValueRun& a, const ValueRun& b) { return order_key(a.value) < order_key(b.value); });
    std::size_t kept = 0;
    for (const ValueRun& r : runs_) {
        if (kept > 0 && order_key(runs_[kept - 1].value) == order_key(r.value))
            runs_[kept - 1].count += r.count;
        else
            runs_[kept++] = r;
    }
    runs_.resize(kept);
    if (kept <= limit_ / 2) return;
    if (limit_ < kMedianRuns) {
        limit_ *= 2;
    } else {
        overflow_ = true;
        runs_.clear();
    }
}

// A median past its kept runs takes two more passes. The first counts the
// positions under each upper half of the order key and so finds the upper
// halves of the two middle ranks; the second counts, for those two upper
// halves only, the positions under each lower half.
void BinStatistic::count_halves(float value, std::uint64_t count) {
    const std::uint32_t key = order_key(value);
    if (pass_ == Pass::HighHalves) {
        halves_[key >> 16] += count;
        return;
    }
    for (std::size_t i = 0; i < 2; ++i) {
        if (key >> 16 != ranks_[i].high) continue;
        halves_[i * kHalves + (key & 0xFFFFu)] += count;
        return;  // ranks_[1] shares ranks_[0]'s counts when their halves are equal
    }
}

// Finds the upper halves of the two middle ranks, and their ranks among
// the positions under those halves.
void BinStatistic::locate_ranks() {
    ranks_[0].rank = count_ % 2 == 1 ? count_ / 2 : count_ / 2 - 1;
    ranks_[1].rank = count_ / 2;
    for (MedianRank& r : ranks_) {
        // Counts that differ from the first pass (a read failing on the way)
        // stop at the last half; the row is then computed again anyway.
        std::uint32_t high = 0;
        while (high + 1 < kHalves && r.rank >= halves_[high]) r.rank -= halves_[high++];
        r.high = high;
    }
}

bool BinStatistic::wants_another_pass() {
    if (!overflow_ || count_ == 0) return false;
    switch (pass_) {
        case Pass::First:
            if (type_ == AverageType::Std) {
                mean_ = sum_ / static_cast<float>(count_);
                squares_ = -0.0f;
                pass_ = Pass::Squares;
            } else {
                halves_.assign(kHalves, 0);
                pass_ = Pass::HighHalves;
            }
            return true;
        case Pass::HighHalves:
            locate_ranks();
            halves_.assign(2 * kHalves, 0);
            pass_ = Pass::LowHalves;
            return true;
        default: return false;
    }
}

float BinStatistic::std_dev() const {
    const float n = static_cast<float>(count_);
    if (pass_ == Pass::Squares) return std::sqrt(squares_ / n);
    const float mean = sum_ / n;
    float q = -0.0f;
    for (const ValueRun& r : runs_) {
        const float dv = r.value - mean;
        q = add_run(q, dv * dv, r.count);
    }
    return std::sqrt(q / n);
}

// The median from the counts under the lower halves of the middle ranks.
float BinStatistic::counted_median() const {
    float middle[2] = {};
    for (std::size_t i = 0; i < 2; ++i) {
        const std::size_t from = ranks_[i].high == ranks_[0].high ? 0 : kHalves;
        std::uint64_t rank = ranks_[i].rank;
        std::uint32_t low = 0;
        while (low + 1 < kHalves && rank >= halves_[from + low]) rank -= halves_[from + low++];
        middle[i] = from_order_key(ranks_[i].high << 16 | low);
    }
    if (count_ % 2 == 1) return middle[1];
    return (middle[0] + middle[1]) * 0.5f;
}

// Weighted selection: the runs sorted by value, the element at rank
// count / 2 (and the one before it for an even count) found by counting.
float BinStatistic::median() {
    if (pass_ == Pass::LowHalves) return counted_median();
    std::sort(runs_.begin(), runs_.end(),
              [](const ValueRun& a, const ValueRun& b) { return order_key(a.value) < order_key(b.value); });
    auto at = [&](std::uint64_t rank) {
        for (const ValueRun& r : runs_) {
            if (rank < r.count) return r.value;
            rank -= r.count;
        }
        return missing_value();
    };
    const std::uint64_t mid = count_ / 2;
    if (count_ % 2 == 1) return at(mid);
    return (at(mid - 1) + at(mid)) * 0.5f;
}

float BinStatistic::result() {
    if (count_ == 0) return missing_value();
    switch (type_) {
        case AverageType::Mean: return sum_ / static_cast<float>(count_);
        case AverageType::Sum: return sum_;
        case AverageType::Min:
        case AverageType::Max: return extreme_;
        case AverageType::Std: return std_dev();
        case AverageType::Median: return median();
    }
    return missing_value();
}

}  // namespace binscope
