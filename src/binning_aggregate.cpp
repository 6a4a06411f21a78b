// binning_aggregate.cpp - the statistic of one bin (mean, median, min, max,
// sum, std) in single precision, summing strictly in position order.
#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <optional>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "binning.hpp"
#include "binning_aggregate.hpp"

namespace binscope {

namespace {

struct SumCount {
    float sum = -0.0f;
    std::uint64_t count = 0;
};

// The number of values from values[i] on that are bit-identical to it.
std::uint64_t run_length(const float* values, std::uint64_t i, std::uint64_t n) {
    const std::uint32_t bits = std::bit_cast<std::uint32_t>(values[i]);
    std::uint64_t j = i + 1;
#ifdef __SSE2__
    const __m128i want = _mm_set1_epi32(static_cast<int>(bits));
    for (; j + 4 <= n; j += 4) {
        const __m128i got = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + j));
        const unsigned same = static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(got, want))));
        if (same != 0xF) return j + static_cast<std::uint64_t>(std::countr_one(same)) - i;
    }
#endif
    while (j < n && std::bit_cast<std::uint32_t>(values[j]) == bits) ++j;
    return j - i;
}

// Calls f(value, count) for runs of bit-identical values that are not NaN,
// in position order. Score files hold runs of equal values, so long runs
// are handed over whole (and added with add_repeated) instead of base by
// base; where runs are short, stretches are handed over value by value.
template <class F>
void for_each_run(const float* values, std::uint64_t n, F&& f) {
    constexpr std::uint64_t kLongRun = 16, kStretch = 64;
    std::uint64_t i = 0;
    while (i < n) {
        if (n - i >= kLongRun) {
            const std::uint64_t k = run_length(values, i, n);
            if (k >= kLongRun) {
                if (!std::isnan(values[i])) f(values[i], k);
                i += k;
                continue;
            }
        }
        const std::uint64_t end = std::min(n, i + kStretch);
        for (; i < end; ++i)
            if (!std::isnan(values[i])) f(values[i], 1);
    }
}

// s + v + v + ... (`count` additions of v), each rounded, in order.
inline float add_run(float s, float v, std::uint64_t count) {
    if (count < 16) {
        for (std::uint64_t i = 0; i < count; ++i) s += v;
        return s;
    }
    return add_repeated(s, v, count);
}

SumCount sum_count(std::span<const BinPiece> pieces, bool missing_as_zero) {
    SumCount r;
    for (const BinPiece& p : pieces) {
        if (p.values != nullptr) {
            for_each_run(p.values, p.count, [&r](float v, std::uint64_t k) {
                r.sum = add_run(r.sum, v, k);
                r.count += k;
            });
        } else if (missing_as_zero && p.count > 0) {
            // Adding 0.0 any number of times is one addition: it only turns
            // -0.0 into 0.0.
            r.sum += 0.0f;
            r.count += p.count;
        }
    }
    return r;
}

// The smaller (or larger) value at each step, from +inf (or -inf).
template <bool Min>
float extreme(std::span<const BinPiece> pieces, bool missing_as_zero) {
    float m = Min ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
    bool any = false;
    auto take = [&m](float v) {
        if (Min ? v < m : v > m) m = v;
    };
    for (const BinPiece& p : pieces) {
        if (p.values != nullptr) {
            for (std::uint64_t i = 0; i < p.count; ++i) {
                const float v = p.values[i];
                if (!std::isnan(v)) {
                    take(v);
                    any = true;
                }
            }
        } else if (missing_as_zero && p.count > 0) {
            take(0.0f);
            any = true;
        }
    }
    return any ? m : missing_value();
}

float std_dev(std::span<const BinPiece> pieces, bool missing_as_zero) {
    const SumCount sc = sum_count(pieces, missing_as_zero);
    if (sc.count == 0) return missing_value();
    const float n = static_cast<float>(sc.count);
    const float mean = sc.sum / n;
    float q = -0.0f;
    for (const BinPiece& p : pieces) {
        if (p.values != nullptr) {
            for_each_run(p.values, p.count, [&q, mean](float v, std::uint64_t k) {
                const float dv = v - mean;
                q = add_run(q, dv * dv, k);
            });
        } else if (missing_as_zero && p.count > 0) {
            const float dv = 0.0f - mean;
            q = add_repeated(q, dv * dv, p.count);
        }
    }
    return std::sqrt(q / n);
}

float median(std::span<const BinPiece> pieces, bool missing_as_zero, std::vector<float>& scratch) {
    scratch.clear();
    std::uint64_t zeros = 0;  // value-less positions counting as 0.0
    for (const BinPiece& p : pieces) {
        if (p.values != nullptr) {
            for (std::uint64_t i = 0; i < p.count; ++i)
                if (!std::isnan(p.values[i])) scratch.push_back(p.values[i]);
        } else if (missing_as_zero) {
            zeros += p.count;
        }
    }
    const std::uint64_t n = scratch.size() + zeros;
    if (n == 0) return missing_value();
    const std::uint64_t mid = n / 2;

    if (zeros == 0) {
        // Only the order statistics at mid (and mid - 1) matter.
        const auto at_mid = scratch.begin() + static_cast<std::ptrdiff_t>(mid);
        std::nth_element(scratch.begin(), at_mid, scratch.end());
        if (n % 2 == 1) return *at_mid;
        const float below = *std::max_element(scratch.begin(), at_mid);
        return (below + *at_mid) * 0.5f;
    }
    // The zeros sit, unmaterialised, where they sort: before the first
    // value that is not below 0.
    std::sort(scratch.begin(), scratch.end());
    const std::uint64_t zero_at =
        static_cast<std::uint64_t>(std::lower_bound(scratch.begin(), scratch.end(), 0.0f) - scratch.begin());
    auto at = [&](std::uint64_t i) {
        if (i < zero_at) return scratch[i];
        if (i - zero_at < zeros) return 0.0f;
        return scratch[i - zeros];
    };
    if (n % 2 == 1) return at(mid);
    return (at(mid - 1) + at(mid)) * 0.5f;
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

float aggregate_pieces(std::span<const BinPiece> pieces, AverageType type, bool missing_as_zero,
                       std::vector<float>& scratch) {
    switch (type) {
        case AverageType::Mean: {
            const SumCount sc = sum_count(pieces, missing_as_zero);
            return sc.count == 0 ? missing_value() : sc.sum / static_cast<float>(sc.count);
        }
        case AverageType::Sum: {
            const SumCount sc = sum_count(pieces, missing_as_zero);
            return sc.count == 0 ? missing_value() : sc.sum;
        }
        case AverageType::Min: return extreme<true>(pieces, missing_as_zero);
        case AverageType::Max: return extreme<false>(pieces, missing_as_zero);
        case AverageType::Std: return std_dev(pieces, missing_as_zero);
        case AverageType::Median: return median(pieces, missing_as_zero, scratch);
    }
    return missing_value();
}

}  // namespace binscope
