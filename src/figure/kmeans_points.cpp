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
#else
void distances_wide(const double* block, const double* centres, std::size_t m, std::size_t dims, double* out) {
    distances_narrow(block, centres, m, dims, out);
}
bool wide_vectors() { return false; }
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
      wide_(wide_vectors()) {}

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
    // Straight from the row's floats, two dimensions at a time.
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
