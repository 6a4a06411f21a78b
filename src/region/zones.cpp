// zones.cpp - lays out the zones of a region: scale-regions form with five
// zones, or two zones around a reference point.
#include "region/zones.hpp"

#include <algorithm>
#include <cmath>

#include "region/chop.hpp"
#include "region/coordinates.hpp"

namespace binscope {

namespace {

std::int64_t measured_bins(const std::vector<Block>& intervals, std::int64_t bin_size) {
    const std::int64_t length = total_width(intervals);
    return length < 1 ? 0 : length / bin_size;
}

// Bin counts taken from the parameters; a negative length lays out nothing.
std::int64_t param_bins(std::int64_t length, std::int64_t bin_size) { return std::max<std::int64_t>(length / bin_size, 0); }

void set_intervals(Zone& zone, const std::vector<Block>& intervals) {
    zone.intervals.assign(intervals.begin(), intervals.end());
}

// The flank [start, start + length), present only for a length of 1 or more.
void left_flank(Zone& zone, std::int64_t end, std::int64_t length) {
    if (length >= 1) zone.intervals.push_back({sat_sub(end, length), end});
}
void right_flank(Zone& zone, std::int64_t start, std::int64_t length) {
    if (length >= 1) zone.intervals.push_back({start, sat_add(start, length)});
}

// Lengthens a zone past the region edge with plain genomic bases. `anchor`
// is where a zone without any interval starts (to the right) or ends (to
// the left).
void extend_right(Zone& zone, std::int64_t bases, std::int64_t anchor) {
    if (zone.intervals.empty())
        zone.intervals.push_back({anchor, sat_add(anchor, bases)});
    else
        zone.intervals.back().end = sat_add(zone.intervals.back().end, bases);
}
void extend_left(Zone& zone, std::int64_t bases, std::int64_t anchor) {
    const std::int64_t a = zone.intervals.empty() ? anchor : zone.intervals.front().start;
    zone.intervals.insert(zone.intervals.begin(), Block{sat_sub(a, bases), a});
}

void reset(ZoneLayout& layout, std::size_t zone_count) {
    layout.zones.resize(zone_count);
    for (Zone& z : layout.zones) {
        z.intervals.clear();
        z.bins = 0;
    }
    layout.left_nan_bins = 0;
    layout.right_nan_bins = 0;
}

bool scale_regions_form(const std::vector<Block>& blocks, bool minus, const Params& p, ZoneLayout& layout,
                        ChopResult& ch) {
    const std::int64_t b = p.binSize;
    const std::int64_t u = p.beforeRegionStartLength, d = p.afterRegionStartLength;
    const std::int64_t u5 = p.unscaled5prime, u3 = p.unscaled3prime;
    chop(blocks, minus ? u3 : u5, minus ? u5 : u3, ch);
    if (total_width(ch.body) < b) return false;

    reset(layout, 5);
    left_flank(layout.zones[0], blocks.front().start, minus ? d : u);
    set_intervals(layout.zones[1], ch.left);
    set_intervals(layout.zones[2], ch.body);
    set_intervals(layout.zones[3], ch.right);
    right_flank(layout.zones[4], blocks.back().end, minus ? u : d);
    const std::int64_t counts[5] = {param_bins(minus ? d : u, b), param_bins(minus ? u3 : u5, b),
                                    param_bins(p.regionBodyLength, b), param_bins(minus ? u5 : u3, b),
                                    param_bins(minus ? u : d, b)};
    for (std::size_t i = 0; i < 5; ++i) layout.zones[i].bins = counts[i];
    return true;
}

// TSS and TES: the part P inside the region next to the reference point
// and the flank F outside it.
void reference_form(const std::vector<Block>& blocks, bool minus, bool tss, const Params& p, ZoneLayout& layout,
                    ChopResult& ch) {
    const std::int64_t b = p.binSize;
    const std::int64_t requested = tss ? p.afterRegionStartLength : p.beforeRegionStartLength;
    const std::int64_t flank = tss ? p.beforeRegionStartLength : p.afterRegionStartLength;
    const std::int64_t S = blocks.front().start, E = blocks.back().end;
    // P comes from the region's left end for TSS on plus and TES on minus.
    const bool from_left = tss != minus;

    reset(layout, 2);
    if (from_left) {
        Zone& F = layout.zones[0];
        Zone& P = layout.zones[1];
        left_flank(F, S, flank);
        chop(blocks, requested, 0, ch);
        set_intervals(P, ch.left);
        const std::int64_t pad = ch.pad_left;
        if (pad > 0) {
            if (p.nanAfterEnd)
                layout.right_nan_bins = missing_bins(pad, requested, measured_bins(P.intervals, b), b);
            else
                extend_right(P, pad, S);
        }
    } else {
        Zone& P = layout.zones[0];
        Zone& F = layout.zones[1];
        chop(blocks, 0, requested, ch);
        set_intervals(P, ch.right);
        right_flank(F, E, flank);
        const std::int64_t pad = ch.pad_right;
        if (pad > 0) {
            if (p.nanAfterEnd)
                layout.left_nan_bins = missing_bins(pad, requested, measured_bins(P.intervals, b), b);
            else
                extend_left(P, pad, E);
        }
    }
    for (Zone& z : layout.zones) z.bins = measured_bins(z.intervals, b);
}

// The blocks up to the middle base (by width) into `left`, the rest into
// `right`; an empty block exactly at the middle goes left.
void split_at_middle(const std::vector<Block>& blocks, std::vector<Block>& left, std::vector<Block>& right) {
    const std::int64_t middle = total_width(blocks) / 2;
    std::int64_t before = 0;  // bases of the blocks already walked
    for (const Block& block : blocks) {
        const std::int64_t w = block_width(block);
        if (sat_add(before, w) <= middle) {
            left.push_back(block);
        } else if (before >= middle) {
            right.push_back(block);
        } else {
            const std::int64_t cut = block.start + (middle - before);
            left.push_back({block.start, cut});
            right.push_back({cut, block.end});
        }
        before = sat_add(before, w);
    }
}

// Keeps the last `want` bases of the blocks, those nearest the middle.
void keep_last_bases(std::vector<Block>& blocks, std::int64_t want) {
    std::int64_t count = 0;
    for (std::size_t i = blocks.size(); i-- > 0;) {
        const std::int64_t w = block_width(blocks[i]);
        if (sat_add(count, w) > want) {
            blocks[i].start = blocks[i].end - (want - count);
            blocks.erase(blocks.begin(), blocks.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
        count += w;
    }
}

// Keeps the first `want` bases of the blocks.
void keep_first_bases(std::vector<Block>& blocks, std::int64_t want) {
    std::int64_t count = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::int64_t w = block_width(blocks[i]);
        if (sat_add(count, w) > want) {
            blocks[i].end = blocks[i].start + (want - count);
            blocks.erase(blocks.begin() + static_cast<std::ptrdiff_t>(i) + 1, blocks.end());
            return;
        }
        count += w;
    }
}

// Center: both zones inside the region, either side of the middle of the
// concatenated blocks.
void center_form(const std::vector<Block>& blocks, bool minus, const Params& p, ZoneLayout& layout) {
    const std::int64_t b = p.binSize;
    reset(layout, 2);
    std::vector<Block>& left = layout.zones[0].intervals;
    std::vector<Block>& right = layout.zones[1].intervals;

    split_at_middle(blocks, left, right);

    const std::int64_t want_left = std::max<std::int64_t>(minus ? p.afterRegionStartLength : p.beforeRegionStartLength, 0);
    const std::int64_t want_right = std::max<std::int64_t>(minus ? p.beforeRegionStartLength : p.afterRegionStartLength, 0);

    keep_last_bases(left, want_left);
    keep_first_bases(right, want_right);

    const std::int64_t pad_left = std::max<std::int64_t>(sat_sub(want_left, total_width(left)), 0);
    const std::int64_t pad_right = std::max<std::int64_t>(sat_sub(want_right, total_width(right)), 0);
    if (p.nanAfterEnd) {
        layout.left_nan_bins = missing_bins(pad_left, want_left, measured_bins(left, b), b);
        layout.right_nan_bins = missing_bins(pad_right, want_right, measured_bins(right, b), b);
    } else {
        // A region without any base has neither part; both grow from its start.
        const std::int64_t S = blocks.front().start;
        const std::int64_t middle_at = !right.empty() ? right.front().start : !left.empty() ? left.back().end : S;
        if (pad_left > 0) extend_left(layout.zones[0], pad_left, middle_at);
        if (pad_right > 0) extend_right(layout.zones[1], pad_right, middle_at);
    }
    for (Zone& z : layout.zones) {
        z.bins = measured_bins(z.intervals, b);
        if (z.bins == 0) z.intervals.clear();
    }
}

}  // namespace

std::int64_t missing_bins(std::int64_t shortfall, std::int64_t requested, std::int64_t zone_bins,
                          std::int64_t bin_size) {
    if (shortfall < 1) return 0;
    const double rounded = std::round(static_cast<double>(shortfall) / static_cast<double>(bin_size));
    // 2^63 and above do not fit; no real layout comes near it.
    std::int64_t t = rounded >= 9223372036854775808.0 ? std::numeric_limits<std::int64_t>::max()
                                                       : static_cast<std::int64_t>(rounded);
    // (requested / b) - zone_bins - t > 0, without overflowing.
    if (requested / bin_size > sat_add(zone_bins, t)) t = sat_add(t, 1);
    return t;
}

bool compute_zones(const Region& region, const Params& params, ZoneLayout& layout, ZoneScratch& scratch) {
    if (region.blocks.empty() || params.binSize < 1) return false;
    std::vector<Block>& blocks = scratch.blocks;
    ChopResult& chopped = scratch.chopped;
    // An inverted block (start > end, which GTF allows) holds no base: it
    // becomes empty at its start, so no width or extension goes negative.
    blocks.assign(region.blocks.begin(), region.blocks.end());
    for (Block& b : blocks)
        if (b.end < b.start) b.end = b.start;
    const bool minus = region.strand == U'-';

    if (params.regionBodyLength > 0) return scale_regions_form(blocks, minus, params, layout, chopped);
    const RefPoint ref = params.referencePoint.value_or(RefPoint::TSS);
    if (ref == RefPoint::Center)
        center_form(blocks, minus, params, layout);
    else
        reference_form(blocks, minus, ref == RefPoint::TSS, params, layout, chopped);
    return true;
}

}  // namespace binscope
