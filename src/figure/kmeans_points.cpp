// kmeans_points.cpp - a k-means point set's rows as float64 points, copied
// and compared a block of rows at a time.
//
// A block holds each dimension's values of its rows side by side, so that
// the rows' distances to one centre grow together, each still summed in
// dimension order: the sums of one row at a time, several at once, done
// by the processor's vector instructions without reordering any sum.
#include "figure/kmeans_points.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include "worker_pool.hpp"

namespace binscope {

namespace {

// Two lanes of doubles: each operation on them is the same double
// operation on both, done by one vector instruction.
using Pair = double __attribute__((vector_size(2 * sizeof(double))));
static_assert(kKmeansBlock % 2 == 0);

using FloatPair = float __attribute__((vector_size(2 * sizeof(float))));

// A value, or `fill` when it is not a finite number (x - x is 0 for a
// finite x only).
inline double filled(float v, double fill) { return v - v == 0 ? static_cast<double>(v) : fill; }

// op(d, pair) for the filled values of dimensions d and d + 1 of n
// consecutive values, two at a time, then op_one(d, value) for an odd last.
template <class Op, class OpOne>
void each_filled(const float* values, const double* fill, std::size_t n, Op op, OpOne op_one) {
    std::size_t d = 0;
    for (; d + 2 <= n; d += 2) {
        FloatPair narrow;
        Pair fills;
        std::memcpy(&narrow, values + d, sizeof narrow);
        std::memcpy(&fills, fill + d, sizeof fills);
        const Pair wide = __builtin_convertvector(narrow, Pair);
        op(d, wide - wide == 0 ? wide : fills);
    }
    if (d < n) op_one(d, filled(values[d], fill[d]));
}

// The squared distances of a block's rows to `Centres` consecutive
// centres, with vectors of type V (several lanes of doubles): every lane's
// sum still in dimension order, one IEEE operation at a time, so that the
// result is the same double at every vector width.
// Vectors moved from and to memory by reference: a vector wider than the
// base processor's may not cross a function boundary by value.
template <class V>
[[gnu::always_inline]] inline void load(V& to, const double* from) {
    std::memcpy(&to, from, sizeof to);
}

template <class V>
[[gnu::always_inline]] inline void store(double* to, const V& from) {
    std::memcpy(to, &from, sizeof from);
}

template <class V, std::size_t Centres>
[[gnu::always_inline]] inline void distances_to(const double* block, const double* centres, std::size_t dims,
                                                double* out) {
    constexpr std::size_t width = sizeof(V) / sizeof(double), vectors = kKmeansBlock / width;
    static_assert(kKmeansBlock % width == 0);
    V sums[Centres][vectors] = {};
    for (std::size_t d = 0; d < dims; ++d) {
        const double* x = block + d * kKmeansBlock;
#pragma GCC unroll 8
        for (std::size_t c = 0; c < Centres; ++c) {
            const double centre = centres[c * dims + d];
#pragma GCC unroll 8
            for (std::size_t p = 0; p < vectors; ++p) {
                V diff;
                load(diff, x + p * width);
                diff -= centre;
                sums[c][p] += diff * diff;
            }
        }
    }
#pragma GCC unroll 8
    for (std::size_t c = 0; c < Centres; ++c)
#pragma GCC unroll 8
        for (std::size_t p = 0; p < vectors; ++p) store(out + c * kKmeansBlock + p * width, sums[c][p]);
}

// All m centres, two at a time.
template <class V>
[[gnu::always_inline]] inline void distances_of(const double* block, const double* centres, std::size_t m,
                                                std::size_t dims, double* out) {
    std::size_t c = 0;
    for (; c + 2 <= m; c += 2) distances_to<V, 2>(block, centres + c * dims, dims, out + c * kKmeansBlock);
    if (c < m) distances_to<V, 1>(block, centres + c * dims, dims, out + c * kKmeansBlock);
}

// The same sums with vectors of two doubles (every x86-64 processor) and
// of four (processors with AVX2, chosen at run time; no fused
// multiply-add, which would round differently).
void distances_narrow(const double* block, const double* centres, std::size_t m, std::size_t dims, double* out) {
    distances_of<Pair>(block, centres, m, dims, out);
}
#if defined(__x86_64__) || defined(__i386__)
using Quad = double __attribute__((vector_size(4 * sizeof(double))));
__attribute__((target("avx2"))) void distances_wide(const double* block, const double* centres, std::size_t m,
                                                    std::size_t dims, double* out) {
    distances_of<Quad>(block, centres, m, dims, out);
}
bool wide_vectors() { return __builtin_cpu_supports("avx2"); }

// Four consecutive values as doubles, each that is not a finite number
// replaced by its fill value (x - x is 0 for a finite x only).
__attribute__((target("avx2"), always_inline)) inline __m256d filled_four(const float* values, const double* fill) {
    const __m256d wide = _mm256_cvtps_pd(_mm_loadu_ps(values));
    const __m256d finite = _mm256_cmp_pd(_mm256_sub_pd(wide, wide), _mm256_setzero_pd(), _CMP_EQ_OQ);
    return _mm256_blendv_pd(_mm256_loadu_pd(fill), wide, finite);
}

__attribute__((target("avx2"))) void add_filled_wide(const float* values, const double* fill, std::size_t dims,
                                                     double* sums) {
    std::size_t d = 0;
    for (; d + 4 <= dims; d += 4)
        _mm256_storeu_pd(sums + d, _mm256_add_pd(_mm256_loadu_pd(sums + d), filled_four(values + d, fill + d)));
    for (; d < dims; ++d) sums[d] += filled(values[d], fill[d]);
}

// Dimensions d to d + 3 of four rows, transposed: out[j * kKmeansBlock + i]
// is row i's value of dimension d + j.
__attribute__((target("avx2"), always_inline)) inline void transpose_four(const float* const* rows, std::size_t d,
                                                                          const double* fill, double* out) {
    const __m256d a = filled_four(rows[0] + d, fill), b = filled_four(rows[1] + d, fill),
                  c = filled_four(rows[2] + d, fill), e = filled_four(rows[3] + d, fill);
    const __m256d ab_low = _mm256_unpacklo_pd(a, b), ab_high = _mm256_unpackhi_pd(a, b);
    const __m256d ce_low = _mm256_unpacklo_pd(c, e), ce_high = _mm256_unpackhi_pd(c, e);
    _mm256_storeu_pd(out, _mm256_permute2f128_pd(ab_low, ce_low, 0x20));
    _mm256_storeu_pd(out + kKmeansBlock, _mm256_permute2f128_pd(ab_high, ce_high, 0x20));
    _mm256_storeu_pd(out + 2 * kKmeansBlock, _mm256_permute2f128_pd(ab_low, ce_low, 0x31));
    _mm256_storeu_pd(out + 3 * kKmeansBlock, _mm256_permute2f128_pd(ab_high, ce_high, 0x31));
}

// A whole block of rows (their first values at rows[i]) into `block`,
// four dimensions of four rows at a time.
__attribute__((target("avx2"))) void gather_filled_wide(const float* const* rows, const double* fill,
                                                        std::size_t dims, double* block) {
    static_assert(kKmeansBlock == 8);
    std::size_t d = 0;
    for (; d + 4 <= dims; d += 4) {
        transpose_four(rows, d, fill + d, block + d * kKmeansBlock);
        transpose_four(rows + 4, d, fill + d, block + d * kKmeansBlock + 4);
    }
    for (; d < dims; ++d)
        for (std::size_t i = 0; i < kKmeansBlock; ++i) block[d * kKmeansBlock + i] = filled(rows[i][d], fill[d]);
}
#else
void distances_wide(const double* block, const double* centres, std::size_t m, std::size_t dims, double* out) {
    distances_narrow(block, centres, m, dims, out);
}
bool wide_vectors() { return false; }
// Never called: without wide vectors the rows take the two-at-a-time paths.
void add_filled_wide(const float*, const double*, std::size_t, double*) {}
void gather_filled_wide(const float* const*, const double*, std::size_t, double*) {}
#endif

bool is_contiguous(std::span<const std::size_t> columns) {
    for (std::size_t d = 1; d < columns.size(); ++d)
        if (columns[d] != columns[0] + d) return false;
    return true;
}

}  // namespace

double KmeansPoints::value(std::size_t r, std::size_t d) const {
    const float v = values[r * cols + columns[d]];
    if (!clipped() || std::isnan(v)) return v;
    return std::clamp(static_cast<double>(v), clip_low[d], clip_high[d]);
}

namespace {

// The finite values of rows [first, end), as the clustering sees them,
// added to sums[d] and counted in counts[d], row after row.
void add_finite(const KmeansPoints& points, std::size_t first, std::size_t end, double* sums, std::size_t* counts) {
    const std::size_t dims = points.columns.size();
    if (points.clipped() || !is_contiguous(points.columns) || dims == 0) {
        for (std::size_t r = first; r < end; ++r)
            for (std::size_t d = 0; d < dims; ++d) {
                const double v = points.value(r, d);
                if (!std::isfinite(v)) continue;
                sums[d] += v;
                ++counts[d];
            }
        return;
    }
    // The same sums without a branch: adding +0 leaves a sum that started
    // at +0 as it is (no sum of numbers from +0 is ever -0).
    for (std::size_t r = first; r < end; ++r) {
        const float* row = points.values.data() + r * points.cols + points.columns[0];
        for (std::size_t d = 0; d < dims; ++d) {
            const double v = row[d];
            const bool finite = v - v == 0;
            sums[d] += finite ? v : 0.0;
            counts[d] += finite ? 1 : 0;
        }
    }
}

}  // namespace

Result<std::vector<double>> column_fill(const KmeansPoints& points, std::size_t chunk_rows, std::size_t threads) {
    const std::size_t dims = points.columns.size(), chunks = (points.rows + chunk_rows - 1) / chunk_rows;
    std::vector<double> sums(chunks * dims, 0.0);
    std::vector<std::size_t> counts(chunks * dims, 0);
    ChunkCounter counter(chunks, 1);
    auto status = run_on_workers(std::clamp<std::size_t>(threads, 1, std::max<std::size_t>(chunks, 1)),
                                 [&](std::size_t, const std::atomic<bool>& cancelled) {
        std::size_t chunk = 0, next = 0;
        while (!cancelled.load(std::memory_order_relaxed) && counter.next(chunk, next))
            add_finite(points, chunk * chunk_rows, std::min(points.rows, (chunk + 1) * chunk_rows),
                       sums.data() + chunk * dims, counts.data() + chunk * dims);
    });
    if (!status) return fail(std::move(status).error());
    std::vector<double> fill(dims, 0.0);
    for (std::size_t d = 0; d < dims; ++d) {
        double sum = 0;
        std::size_t count = 0;
        for (std::size_t chunk = 0; chunk < chunks; ++chunk) {
            sum += sums[chunk * dims + d];
            count += counts[chunk * dims + d];
        }
        if (count > 0) fill[d] = sum / static_cast<double>(count);
    }
    return fill;
}

KmeansRows::KmeansRows(const KmeansPoints& points, std::vector<double> fill)
    : points_(points), fill_(std::move(fill)), dims_(points.columns.size()),
      contiguous_(!points.columns.empty() && is_contiguous(points.columns)), clipped_(points.clipped()),
      wide_(wide_vectors()), zeros_(wide_ ? dims_ : 0, 0.0f) {}

const float* KmeansRows::row_start(std::size_t row) const {
    return points_.values.data() + row * points_.cols + (contiguous_ ? points_.columns[0] : 0);
}

void KmeansRows::gather_clipped(const float* values, double* out, std::size_t stride) const {
    const double *fill = fill_.data(), *low = points_.clip_low.data(), *high = points_.clip_high.data();
    const auto one = [&](std::size_t d, float v) {
        out[d * stride] = std::isnan(v) ? fill[d] : std::clamp(static_cast<double>(v), low[d], high[d]);
    };
    if (contiguous_) {
        for (std::size_t d = 0; d < dims_; ++d) one(d, values[d]);
    } else {
        for (std::size_t d = 0; d < dims_; ++d) one(d, values[points_.columns[d]]);
    }
}

void KmeansRows::gather_row(std::size_t row, double* out) const {
    const float* values = row_start(row);
    const double* fill = fill_.data();
    if (clipped_) {
        gather_clipped(values, out, 1);
    } else if (contiguous_) {
        each_filled(
            values, fill, dims_, [&](std::size_t d, Pair pair) { std::memcpy(out + d, &pair, sizeof pair); },
            [&](std::size_t d, double v) { out[d] = v; });
    } else {
        const std::size_t* columns = points_.columns.data();
        for (std::size_t d = 0; d < dims_; ++d) out[d] = filled(values[columns[d]], fill[d]);
    }
}

void KmeansRows::add_row(std::size_t row, double* sums, double* scratch) const {
    if (clipped_ || !contiguous_) {
        gather_row(row, scratch);
        for (std::size_t d = 0; d < dims_; ++d) sums[d] += scratch[d];
        return;
    }
    // Straight from the row's floats, four or two dimensions at a time.
    if (wide_) return add_filled_wide(row_start(row), fill_.data(), dims_, sums);
    each_filled(
        row_start(row), fill_.data(), dims_,
        [&](std::size_t d, Pair pair) {
            Pair sum;
            std::memcpy(&sum, sums + d, sizeof sum);
            sum += pair;
            std::memcpy(sums + d, &sum, sizeof sum);
        },
        [&](std::size_t d, double v) { sums[d] += v; });
}

void KmeansRows::gather_block(const std::size_t* rows, std::size_t count, double* block) const {
    if (wide_ && contiguous_ && !clipped_) {
        // Lanes past count read a row of zeros.
        const float* starts[kKmeansBlock];
        for (std::size_t i = 0; i < kKmeansBlock; ++i) starts[i] = i < count ? row_start(rows[i]) : zeros_.data();
        return gather_filled_wide(starts, fill_.data(), dims_, block);
    }
    if (count < kKmeansBlock) std::fill_n(block, dims_ * kKmeansBlock, 0.0);
    const double* fill = fill_.data();
    const std::size_t* columns = points_.columns.data();
    for (std::size_t i = 0; i < count; ++i) {
        const float* values = row_start(rows[i]);
        double* lane = block + i;
        if (clipped_) {
            gather_clipped(values, lane, kKmeansBlock);
        } else if (contiguous_) {
            each_filled(
                values, fill, dims_,
                [&](std::size_t d, Pair pair) {
                    lane[d * kKmeansBlock] = pair[0];
                    lane[(d + 1) * kKmeansBlock] = pair[1];
                },
                [&](std::size_t d, double v) { lane[d * kKmeansBlock] = v; });
        } else {
            for (std::size_t d = 0; d < dims_; ++d) lane[d * kKmeansBlock] = filled(values[columns[d]], fill[d]);
        }
    }
}

void KmeansRows::block_distances(const double* block, const double* centres, std::size_t m, double* out) const {
    if (wide_)
        distances_wide(block, centres, m, dims_, out);
    else
        distances_narrow(block, centres, m, dims_, out);
}

}  // namespace binscope
