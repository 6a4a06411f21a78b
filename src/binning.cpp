// binning.cpp - one sample's bins for one region: the layout clipped to the
// chromosome, the per-base value array, the bin edges, the missing-value
// fill, the fit to the fixed width and the minus-strand reversal.
#include "binning.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "binning_aggregate.hpp"
#include "region/coordinates.hpp"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace binscope {

namespace {

// A stretch of a region's per-base array: either held in BinScratch's
// per_base buffer from `offset` on, or below base 0 and without values.
struct BaseSegment {
    std::uint64_t start = 0;  // first array position
    std::uint64_t length = 0;
    std::uint64_t offset = 0;  // into per_base, for held segments
    bool held = false;
};

// One read of a score file into per_base.
struct BaseRead {
    std::int64_t start = 0;  // genomic, 0 or more
    std::int64_t end = 0;
    std::uint64_t offset = 0;
};

// A zone after clipping to the chromosome.
struct ClippedZone {
    std::uint64_t offset = 0;  // first array position
    std::uint64_t length = 0;
    std::int64_t bins = 0;
};

// A bin of fewer than 16 bases that lies inside one held segment, kept
// aside so that its mean or sum is taken together with its neighbours'.
struct ShortBin {
    const float* values = nullptr;
    std::uint32_t length = 0;
    std::size_t col = 0;
};

// A thread's buffers, reused across regions once they have grown to the
// largest one.
struct BinScratch {
    std::vector<float> per_base;  // values of the bases inside the chromosome
    std::vector<float> values;    // the values a median sorts
    std::vector<BaseSegment> segments;
    std::vector<BaseRead> reads;
    std::vector<ClippedZone> zones;
    std::vector<BinPiece> pieces;
    std::vector<ShortBin> short_bins;
};

constexpr std::uint64_t kMaxPos = std::numeric_limits<std::uint64_t>::max();

std::uint64_t sat_add_u(std::uint64_t a, std::uint64_t b) { return a > kMaxPos - b ? kMaxPos : a + b; }

// Appends `length` array positions to the segment list, merging with the
// previous segment of the same kind; returns how many fitted below 2^64.
std::uint64_t add_segment(std::vector<BaseSegment>& segments, std::uint64_t& pos, std::uint64_t length,
                          bool held, std::uint64_t offset) {
    length = std::min(length, kMaxPos - pos);
    if (length == 0) return 0;
    if (!segments.empty() && segments.back().held == held &&
        (!held || segments.back().offset + segments.back().length == offset)) {
        segments.back().length += length;
    } else {
        segments.push_back({pos, length, offset, held});
    }
    pos += length;
    return length;
}

// Clips the layout to a chromosome of `chrom_length` bases, fills
// scratch.zones with each zone's place in the array and its bin count,
// and scratch.segments / scratch.reads with the array's makeup. Bases
// below 0 are kept as value-less segments: only the bases inside the
// chromosome are held in memory, so clipping bounds the allocation.
// Returns the array length N.
std::uint64_t clip_layout(const ZoneLayout& layout, std::int64_t chrom_length, std::int64_t bin_size,
                          BinScratch& scratch) {
    scratch.zones.clear();
    scratch.segments.clear();
    scratch.reads.clear();
    std::uint64_t pos = 0;
    std::uint64_t held = 0;
    for (const Zone& zone : layout.zones) {
        ClippedZone cz{pos, 0, std::max<std::int64_t>(zone.bins, 0)};
        bool cut = false;
        for (const Block& iv : zone.intervals) {
            std::int64_t s = iv.start, e = iv.end;
            if (s >= chrom_length) {
                cut = true;
                continue;
            }
            if (e > chrom_length) {
                e = chrom_length;
                cut = true;
            }
            if (e <= s) continue;
            if (s < 0) {
                const std::int64_t below_end = std::min<std::int64_t>(e, 0);
                const std::uint64_t n = static_cast<std::uint64_t>(below_end) - static_cast<std::uint64_t>(s);
                cz.length = sat_add_u(cz.length, add_segment(scratch.segments, pos, n, false, 0));
            }
            if (e > 0) {
                const std::int64_t from = std::max<std::int64_t>(s, 0);
                const std::uint64_t n = add_segment(scratch.segments, pos, static_cast<std::uint64_t>(e - from),
                                                    true, held);
                if (n > 0) {
                    scratch.reads.push_back({from, from + static_cast<std::int64_t>(n), held});
                    held += n;
                    cz.length = sat_add_u(cz.length, n);
                }
            }
        }
        if (cut) cz.bins = static_cast<std::int64_t>(cz.length / static_cast<std::uint64_t>(bin_size));
        scratch.zones.push_back(cz);
    }
    scratch.per_base.resize(held);
    return pos;
}

// trunc(x) as an array position; x is never negative.
std::uint64_t to_position(double x) {
    return x >= 18446744073709551616.0 ? kMaxPos : static_cast<std::uint64_t>(x);
}

// Moves `cursor` to the segment that holds array position `from` (bins
// start at non-decreasing positions, so this is a step or two).
void seek(const std::vector<BaseSegment>& segs, std::uint64_t from, std::size_t& cursor) {
    while (cursor > 0 && segs[cursor].start > from) --cursor;
    while (cursor + 1 < segs.size() && segs[cursor].start + segs[cursor].length <= from) ++cursor;
}

// The values of [from, to) when one held segment holds them all.
const float* held_values(std::uint64_t from, std::uint64_t to, std::size_t& cursor, const BinScratch& scratch) {
    seek(scratch.segments, from, cursor);
    const BaseSegment& seg = scratch.segments[cursor];
    if (!seg.held || from < seg.start || to > seg.start + seg.length) return nullptr;
    return scratch.per_base.data() + seg.offset + (from - seg.start);
}

// Bins shorter than this can be set aside as ShortBin.
constexpr std::uint64_t kShortBin = 16;

// The statistic of a short bin from its sum and count.
inline float short_bin_result(float sum, std::uint32_t count, bool mean) {
    if (count == 0) return missing_value();
    return mean ? sum / static_cast<float>(count) : sum;
}

// The plain left-to-right single-precision sum from -0.0 of the values of
// one short bin that are numbers, exactly as aggregate_pieces forms it for
// a bin this short (no run is long enough for its closed form).
float short_bin_value(const ShortBin& b, bool mean) {
    float sum = -0.0f;
    std::uint32_t count = 0;
    for (std::uint32_t j = 0; j < b.length; ++j)
        if (const float v = b.values[j]; v == v) {
            sum += v;
            ++count;
        }
    return short_bin_result(sum, count, mean);
}

#ifdef __SSE2__
// The means (or sums) of eight bins of one length that start at lane[k],
// one bin per lane of two vectors, with the sums of short_bin_value: a NaN
// adds -0.0 instead, which leaves every sum unchanged. Two independent
// vectors hide the latency of each addition; the divisions are the same
// correctly rounded ones, four at a time.
void eight_short_bins(const float* const lane[8], std::uint32_t length, bool mean, float results[8]) {
    const __m128 negative_zero = _mm_set1_ps(-0.0f);
    __m128 sum[2] = {negative_zero, negative_zero};
    __m128i count[2] = {_mm_setzero_si128(), _mm_setzero_si128()};
    for (std::uint32_t j = 0; j < length; ++j) {
        const __m128 lo = _mm_setr_ps(lane[0][j], lane[1][j], lane[2][j], lane[3][j]);
        const __m128 hi = _mm_setr_ps(lane[4][j], lane[5][j], lane[6][j], lane[7][j]);
        const __m128 lo_number = _mm_cmpord_ps(lo, lo), hi_number = _mm_cmpord_ps(hi, hi);
        sum[0] = _mm_add_ps(sum[0], _mm_or_ps(_mm_and_ps(lo_number, lo), _mm_andnot_ps(lo_number, negative_zero)));
        sum[1] = _mm_add_ps(sum[1], _mm_or_ps(_mm_and_ps(hi_number, hi), _mm_andnot_ps(hi_number, negative_zero)));
        count[0] = _mm_sub_epi32(count[0], _mm_castps_si128(lo_number));
        count[1] = _mm_sub_epi32(count[1], _mm_castps_si128(hi_number));
    }
    const __m128 missing = _mm_castsi128_ps(_mm_set1_epi32(static_cast<int>(kMissingBits)));
    for (int half = 0; half < 2; ++half) {
        const __m128 value = mean ? _mm_div_ps(sum[half], _mm_cvtepi32_ps(count[half])) : sum[half];
        const __m128 empty = _mm_castsi128_ps(_mm_cmpeq_epi32(count[half], _mm_setzero_si128()));
        _mm_storeu_ps(results + 4 * half, _mm_or_ps(_mm_and_ps(empty, missing), _mm_andnot_ps(empty, value)));
    }
}
#endif

// The mean (or sum) of every short bin, eight of one length at a time
// where they come that way.
void short_bin_values(std::span<const ShortBin> bins, bool mean, std::span<float> out) {
    std::size_t i = 0;
#ifdef __SSE2__
    while (i + 8 <= bins.size()) {
        const std::uint32_t length = bins[i].length;
        bool same = true;
        for (std::size_t k = 1; k < 8; ++k) same &= bins[i + k].length == length;
        if (!same) {
            out[bins[i].col] = short_bin_value(bins[i], mean);
            ++i;
            continue;
        }
        const float* lane[8];
        float results[8];
        for (std::size_t k = 0; k < 8; ++k) lane[k] = bins[i + k].values;
        eight_short_bins(lane, length, mean, results);
        for (std::size_t k = 0; k < 8; ++k) out[bins[i + k].col] = results[k];
        i += 8;
    }
#endif
    for (; i < bins.size(); ++i) out[bins[i].col] = short_bin_value(bins[i], mean);
}

// The mean (or sum) of `count` consecutive bins of `length` values each,
// from `values` on, into out[0, count).
void uniform_bin_values(const float* values, std::uint32_t length, std::uint64_t count, bool mean, float* out) {
    std::uint64_t i = 0;
#ifdef __SSE2__
    for (; i + 8 <= count; i += 8) {
        const float* lane[8];
        for (std::size_t k = 0; k < 8; ++k) lane[k] = values + (i + k) * length;
        eight_short_bins(lane, length, mean, out + i);
    }
#endif
    for (; i < count; ++i) out[i] = short_bin_value(ShortBin{values + i * length, length, 0}, mean);
}

// A zone of whole short bins (its length a multiple of its bin count) that
// one held segment covers: the bin edges are then plain multiples, the
// same the general loop's double arithmetic gives below 2^53. Such a
// zone's bins from column `col` on (as many as fit the width) are set
// here; false, with nothing set, for any other zone.
bool uniform_short_zone(const ClippedZone& z, std::size_t& cursor, const BinScratch& scratch, bool mean,
                        std::span<float> out, std::size_t col) {
    const auto n = static_cast<std::uint64_t>(z.bins);
    if (scratch.segments.empty() || z.length % n != 0) return false;
    const std::uint64_t length = z.length / n;
    if (length == 0 || length >= kShortBin || z.offset >= (std::uint64_t{1} << 52) ||
        z.length >= (std::uint64_t{1} << 52))
        return false;
    seek(scratch.segments, z.offset, cursor);
    const BaseSegment& seg = scratch.segments[cursor];
    if (!seg.held || z.offset < seg.start || z.offset + z.length > seg.start + seg.length) return false;
    const float* values = scratch.per_base.data() + seg.offset + (z.offset - seg.start);
    uniform_bin_values(values, static_cast<std::uint32_t>(length), std::min<std::uint64_t>(n, out.size() - col),
                       mean, out.data() + col);
    return true;
}

// The statistic of array positions [from, to), walking the segments from
// `cursor`.
float bin_value(std::uint64_t from, std::uint64_t to, std::size_t& cursor, const Params& params,
                BinScratch& scratch) {
    const std::vector<BaseSegment>& segs = scratch.segments;
    seek(segs, from, cursor);
    scratch.pieces.clear();
    for (std::size_t i = cursor; i < segs.size() && segs[i].start < to; ++i) {
        const BaseSegment& seg = segs[i];
        const std::uint64_t lo = std::max(from, seg.start);
        const std::uint64_t hi = std::min(to, seg.start + seg.length);
        if (hi <= lo) continue;
        if (seg.held)
            scratch.pieces.push_back({scratch.per_base.data() + seg.offset + (lo - seg.start), hi - lo});
        else
            scratch.pieces.push_back({nullptr, hi - lo});
    }
    return aggregate_pieces(scratch.pieces, params.averageTypeBins, params.missingDataAsZero, scratch.values);
}

// Clips the layout to the chromosome and fills scratch.per_base with the
// scores of the bases inside it (0.0 for missing ones under
// missingDataAsZero). Returns the array length N.
std::uint64_t read_bases(BigWigReader& reader, const std::string& chrom, std::uint32_t chrom_length,
                         const ZoneLayout& layout, const Params& params, BinScratch& scratch) {
    const std::uint64_t n_pos = clip_layout(layout, chrom_length, params.binSize, scratch);
    float* held = scratch.per_base.data();
    for (const BaseRead& r : scratch.reads)
        interval_values(reader, chrom, chrom_length, r.start, r.end,
                        std::span<float>(held + r.offset, static_cast<std::size_t>(r.end - r.start)));
    if (params.missingDataAsZero)
        for (float& v : scratch.per_base)
            if (std::isnan(v)) v = 0.0f;
    return n_pos;
}

// The bins of one zone from column `col` on, as many as fit the width;
// returns the next column. Short bins of a mean or sum are set aside in
// scratch.short_bins, to be taken eight at a time.
std::size_t zone_bins(const ClippedZone& z, std::uint64_t n_pos, const Params& params, std::span<float> out,
                      std::size_t col, std::size_t& cursor, BinScratch& scratch) {
    const std::size_t width = out.size();
    const std::uint64_t n = static_cast<std::uint64_t>(z.bins);
    const bool mean = params.averageTypeBins == AverageType::Mean;
    const bool short_path = mean || params.averageTypeBins == AverageType::Sum;
    if (short_path && uniform_short_zone(z, cursor, scratch, mean, out, col))
        return std::min<std::uint64_t>(width, col + n);
    const double step = static_cast<double>(z.length) / static_cast<double>(n);
    const double origin = static_cast<double>(z.offset);
    const std::uint64_t zone_end = sat_add_u(z.offset, z.length);
    std::uint64_t from = to_position(step * 0.0 + origin);
    for (std::uint64_t i = 0; i < n && col < width; ++i) {
        const std::uint64_t next = i + 1 == n ? zone_end : to_position(step * static_cast<double>(i + 1) + origin);
        if (from >= n_pos) {
            out[col++] = missing_value();
        } else {
            const std::uint64_t to = std::min(std::max(next, from + 1), n_pos);
            const float* values =
                short_path && to - from < kShortBin ? held_values(from, to, cursor, scratch) : nullptr;
            if (values != nullptr)
                scratch.short_bins.push_back({values, static_cast<std::uint32_t>(to - from), col++});
            else
                out[col++] = bin_value(from, to, cursor, params, scratch);
        }
        from = next;
    }
    return col;
}

}  // namespace

void sample_bins(BigWigReader* reader, const Sample& sample, const Region& region, const ZoneLayout& layout,
                 const Params& params, std::span<float> out) {
    std::fill(out.begin(), out.end(), missing_value());
    if (reader == nullptr || params.binSize < 1) return;
    auto chrom = resolve_chrom(sample.chrom_table, region.chrom);
    if (!chrom) chrom = resolve_chrom(sample.chrom_table, alternate_chrom_name(region.chrom));
    if (!chrom) return;
    thread_local BinScratch scratch;
    const std::uint64_t n_pos = read_bases(*reader, chrom->first, chrom->second, layout, params, scratch);

    // Bins in genomic order, written straight into their columns; whatever
    // lies past the fixed width is cut off, and unfilled columns stay NaN.
    std::size_t col = static_cast<std::size_t>(std::min<std::uint64_t>(
        static_cast<std::uint64_t>(std::max<std::int64_t>(layout.left_nan_bins, 0)), out.size()));
    std::size_t cursor = 0;
    scratch.short_bins.clear();
    for (const ClippedZone& z : scratch.zones) {
        if (col >= out.size()) break;
        if (z.bins > 0) col = zone_bins(z, n_pos, params, out, col, cursor, scratch);
    }
    short_bin_values(scratch.short_bins, params.averageTypeBins == AverageType::Mean, out);
    // right_nan_bins and the fit to the width only add NaN, already there.
    if (region.strand == U'-') std::reverse(out.begin(), out.end());
}

}  // namespace binscope
