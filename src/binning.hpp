// binning.hpp - per-base values of a region, bin edges and bin statistics.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "region.hpp"
#include "bigwig_reader.hpp"
#include "labels.hpp"
#include "params.hpp"
#include "region/zones.hpp"

namespace binscope {

// The missing value of every bin and cell: the quiet NaN 0x7FC00000.
inline constexpr std::uint32_t kMissingBits = 0x7FC00000u;
float missing_value();

// A run of consecutive positions of a bin: values from the per-base array,
// or, when `values` is null, `count` positions below chromosome base 0,
// which are never materialised.
struct BinPiece {
    const float* values = nullptr;
    std::uint64_t count = 0;
};

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

// Reusable per-thread buffers, so that per-region work does not allocate
// once they have grown to the largest region.
struct BinScratch {
    std::vector<float> per_base;  // values of the bases inside the chromosome
    std::vector<float> values;    // the values a median sorts
    std::vector<BaseSegment> segments;
    std::vector<BaseRead> reads;
    std::vector<ClippedZone> zones;
    std::vector<BinPiece> pieces;
    std::vector<ShortBin> short_bins;
    ZoneLayout layout;
    ZoneScratch zone_scratch;
};

// The statistic of one bin's values (NaN = missing), in single precision
// and position order.
float aggregate_bin(std::span<const float> values, AverageType type);
float aggregate_bin(std::span<const float> values, AverageType type, std::vector<float>& scratch);

// The statistic over a bin made of pieces, in position order. Value-less
// pieces are skipped, or count as 0.0 when missing_as_zero is set.
float aggregate_pieces(std::span<const BinPiece> pieces, AverageType type, bool missing_as_zero,
                       std::vector<float>& scratch);

// q + x + x + ... with `times` additions, each rounded to single precision,
// without performing them one by one (a zero run can be ~2^63 bases long).
float add_repeated(float q, float x, std::uint64_t times);

// The bins_per_sample values of one sample for one region, in column order
// (5' to 3'), written into out. reader is null when the sample's file
// failed to open on this thread.
void sample_bins(BigWigReader* reader, const Sample& sample, const Region& region, const ZoneLayout& layout,
                 const Params& params, std::span<float> out, BinScratch& scratch);

}  // namespace binscope
