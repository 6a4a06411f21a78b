// binning_aggregate.hpp - the statistic of one bin from the runs of
// positions that make it up, in single precision and position order.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "params.hpp"

namespace binscope {

// A run of consecutive positions of a bin: `count` values from `values`,
// or, when `values` is null, `count` positions below chromosome base 0,
// which are never materialised.
struct BinPiece {
    const float* values = nullptr;
    std::uint64_t count = 0;
};

// The statistic over a bin made of pieces, in position order; NaN values
// are missing. Value-less pieces are skipped, or count as 0.0 when
// missing_as_zero is set. `scratch` is the buffer a median sorts.
float aggregate_pieces(std::span<const BinPiece> pieces, AverageType type, bool missing_as_zero,
                       std::vector<float>& scratch);

// q + x + x + ... with `times` additions, each rounded to single precision,
// without performing them one by one (a zero run can be ~2^63 bases long).
float add_repeated(float q, float x, std::uint64_t times);

}  // namespace binscope
