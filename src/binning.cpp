// binning.cpp - one sample's bins for one region: the layout clipped to the
// chromosome, the bin edges, the statistic of every bin from the score
// runs it covers, the fit to the fixed width and the minus-strand reversal.
#include "binning.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "binning_aggregate.hpp"
#include "region/coordinates.hpp"

namespace binscope {

namespace {

constexpr std::uint64_t kMaxPos = std::numeric_limits<std::uint64_t>::max();

std::uint64_t sat_add_u(std::uint64_t a, std::uint64_t b) { return a > kMaxPos - b ? kMaxPos : a + b; }

// Appends `length` positions to the stretches (read from genomic `start`,
// or without values when mode is Missing), merging stretches without
// values; returns how many fitted below 2^64.
std::uint64_t add_stretch(std::vector<Stretch>& stretches, std::uint64_t& pos, std::uint64_t length,
                          std::int64_t start, Stretch::Mode mode) {
    length = std::min(length, kMaxPos - pos);
    if (length == 0) return 0;
    if (mode == Stretch::Mode::Missing && !stretches.empty() && stretches.back().mode == mode)
        stretches.back().length += length;
    else
        stretches.push_back({pos, length, start, mode});
    pos += length;
    return length;
}

// Clips the layout to a chromosome of `chrom_length` bases, filling
// scratch.zones with each zone's place among the positions and its bin
// count, and scratch.stretches with what the positions hold: bases below 0
// are positions without values, the others are read from the file.
// Returns the number of positions N.
std::uint64_t clip_layout(const ZoneLayout& layout, std::int64_t chrom_length, std::int64_t bin_size,
                          BinScratch& scratch) {
    scratch.zones.clear();
    scratch.stretches.clear();
    std::uint64_t pos = 0;
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
                cz.length = sat_add_u(cz.length, add_stretch(scratch.stretches, pos, n, 0, Stretch::Mode::Missing));
            }
            if (e > 0) {
                const std::int64_t from = std::max<std::int64_t>(s, 0);
                const std::uint64_t n = static_cast<std::uint64_t>(e - from);
                cz.length = sat_add_u(cz.length, add_stretch(scratch.stretches, pos, n, from, Stretch::Mode::Sorted));
            }
        }
        if (cut) cz.bins = static_cast<std::int64_t>(cz.length / static_cast<std::uint64_t>(bin_size));
        scratch.zones.push_back(cz);
    }
    return pos;
}

// trunc(x) as a position; x is never negative.
std::uint64_t to_position(double x) {
    return x >= 18446744073709551616.0 ? kMaxPos : static_cast<std::uint64_t>(x);
}

// The statistic of positions [from, to).
float bin_value(std::uint64_t from, std::uint64_t to, RowRuns& runs, BinStatistic& stat) {
    stat.clear();
    runs.feed(from, to, stat);
    while (stat.wants_another_pass()) {
        runs.seek(from);
        runs.feed(from, to, stat);
    }
    return stat.result();
}

// The bins of one zone from column `col` on, as many as fit the width;
// returns the next column.
std::size_t zone_bins(const ClippedZone& z, std::uint64_t n_pos, std::span<float> out, std::size_t col,
                      RowRuns& runs, BinStatistic& stat) {
    const std::size_t width = out.size();
    const std::uint64_t n = static_cast<std::uint64_t>(z.bins);
    const double step = static_cast<double>(z.length) / static_cast<double>(n);
    const double origin = static_cast<double>(z.offset);
    const std::uint64_t zone_end = sat_add_u(z.offset, z.length);
    std::uint64_t from = to_position(step * 0.0 + origin);
    for (std::uint64_t i = 0; i < n && col < width; ++i) {
        const std::uint64_t next = i + 1 == n ? zone_end : to_position(step * static_cast<double>(i + 1) + origin);
        if (from >= n_pos)
            out[col++] = missing_value();
        else
            out[col++] = bin_value(from, std::min(std::max(next, from + 1), n_pos), runs, stat);
        from = next;
    }
    return col;
}

// The bins in genomic order, written straight into their columns; whatever
// lies past the fixed width is cut off, and unfilled columns stay NaN.
void row_bins(const ZoneLayout& layout, std::uint64_t n_pos, const Params& params, std::span<float> out,
              const std::vector<ClippedZone>& zones, RowRuns& runs) {
    std::fill(out.begin(), out.end(), missing_value());
    std::size_t col = static_cast<std::size_t>(std::min<std::uint64_t>(
        static_cast<std::uint64_t>(std::max<std::int64_t>(layout.left_nan_bins, 0)), out.size()));
    BinStatistic stat(params.averageTypeBins, params.missingDataAsZero);
    for (const ClippedZone& z : zones) {
        if (col >= out.size()) break;
        if (z.bins > 0) col = zone_bins(z, n_pos, out, col, runs, stat);
    }
    // right_nan_bins and the fit to the width only add NaN, already there.
}

}  // namespace

std::optional<std::pair<std::string, std::uint64_t>> sample_stretches(const Sample& sample, const Region& region,
                                                                      const ZoneLayout& layout, const Params& params,
                                                                      BinScratch& scratch) {
    if (params.binSize < 1) return std::nullopt;
    auto chrom = resolve_chrom(sample.chrom_table, region.chrom);
    if (!chrom) return std::nullopt;
    return std::pair(std::move(chrom->first), clip_layout(layout, chrom->second, params.binSize, scratch));
}

void sample_bins(ReaderCache& readers, BinScratch& scratch, std::size_t k, const Sample& sample,
                 const Region& region, const ZoneLayout& layout, const Params& params, std::span<float> out) {
    std::fill(out.begin(), out.end(), missing_value());
    if (!readers.is_open(k)) return;
    auto row = sample_stretches(sample, region, layout, params, scratch);
    if (!row) return;
    const std::uint64_t n_pos = row->second;
    readers.read_row(k, row->first, scratch.stretches,
                     [&](RowRuns& runs) { row_bins(layout, n_pos, params, out, scratch.zones, runs); });
    if (region.strand == U'-') std::reverse(out.begin(), out.end());
}

}  // namespace binscope
