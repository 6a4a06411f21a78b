// binning.cpp - one sample's bins for one region: the layout clipped to the
// chromosome, the per-base value array, the bin edges, the missing-value
// fill, the fit to the fixed width and the minus-strand reversal.
#include "binning.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "region/coordinates.hpp"

namespace binscope {

namespace {

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

// The statistic of array positions [from, to), walking the segments from
// `cursor` (bins start at non-decreasing positions).
float bin_value(std::uint64_t from, std::uint64_t to, std::size_t& cursor, const Params& params,
                BinScratch& scratch) {
    const std::vector<BaseSegment>& segs = scratch.segments;
    while (cursor > 0 && segs[cursor].start > from) --cursor;
    while (cursor + 1 < segs.size() && segs[cursor].start + segs[cursor].length <= from) ++cursor;
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

}  // namespace

void sample_bins(BigWigReader* reader, const Sample& sample, const Region& region, const ZoneLayout& layout,
                 const Params& params, std::span<float> out, BinScratch& scratch) {
    const float nan = missing_value();
    std::fill(out.begin(), out.end(), nan);
    if (reader == nullptr || params.binSize < 1) return;
    auto chrom = resolve_chrom(sample.chrom_table, region.chrom);
    if (!chrom) chrom = resolve_chrom(sample.chrom_table, alternate_chrom_name(region.chrom));
    if (!chrom) return;
    const auto& [name, chrom_length] = *chrom;

    const std::uint64_t n_pos = clip_layout(layout, chrom_length, params.binSize, scratch);
    float* held = scratch.per_base.data();
    for (const BaseRead& r : scratch.reads)
        interval_values(*reader, name, chrom_length, r.start, r.end,
                        std::span<float>(held + r.offset, static_cast<std::size_t>(r.end - r.start)));
    if (params.missingDataAsZero)
        for (float& v : scratch.per_base)
            if (std::isnan(v)) v = 0.0f;

    // Bins in genomic order, written straight into their columns; whatever
    // lies past the fixed width is cut off, and unfilled columns stay NaN.
    const std::size_t width = out.size();
    std::size_t col = static_cast<std::size_t>(
        std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max<std::int64_t>(layout.left_nan_bins, 0)), width));
    std::size_t cursor = 0;
    for (const ClippedZone& z : scratch.zones) {
        if (col >= width) break;
        if (z.bins == 0) continue;
        const std::uint64_t n = static_cast<std::uint64_t>(z.bins);
        const double step = static_cast<double>(z.length) / static_cast<double>(n);
        const double origin = static_cast<double>(z.offset);
        const std::uint64_t zone_end = sat_add_u(z.offset, z.length);
        std::uint64_t from = to_position(step * 0.0 + origin);
        for (std::uint64_t i = 0; i < n && col < width; ++i) {
            const std::uint64_t next =
                i + 1 == n ? zone_end : to_position(step * static_cast<double>(i + 1) + origin);
            if (from >= n_pos) {
                out[col++] = nan;
            } else {
                const std::uint64_t to = std::min(std::max(next, from + 1), n_pos);
                out[col++] = bin_value(from, to, cursor, params, scratch);
            }
            from = next;
        }
    }
    // right_nan_bins and the fit to the width only add NaN, already there.
    if (region.strand == U'-') std::reverse(out.begin(), out.end());
}

}  // namespace binscope
