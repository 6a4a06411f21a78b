// compute.hpp - the score matrix computed on a worker pool.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "region.hpp"
#include "binning.hpp"
#include "bigwig_reader.hpp"
#include "error.hpp"
#include "labels.hpp"
#include "params.hpp"
#include "matrix/matrix.hpp"

namespace binscope {

struct MatrixRow {
    std::vector<float> values;  // samples x bins_per_sample
    std::uint64_t region_index = 0;
    bool no_data = true;
};

// The work of one region, on a worker thread, with that thread's readers
// and buffers. Nothing when the thresholds reject the row.
std::optional<MatrixRow> compute_row(std::uint64_t region_index, const Region& region,
                                     const std::vector<Sample>& samples, const Params& params,
                                     ReaderCache& cache, const std::vector<std::string>& score_file_paths,
                                     BinScratch& scratch);

// What became of one region's row.
struct RowOutcome {
    bool kept = false;    // passed the thresholds
    bool no_data = true;  // not one value was a number before missing->0
};

// compute_row writing the row into `out` (samples x row_width values)
// instead of a new vector; `readers` is the thread's ReaderCache content.
RowOutcome compute_row_into(const Region& region, const std::vector<Sample>& samples, const Params& params,
                            std::vector<std::optional<BigWigReader>>& readers, BinScratch& scratch,
                            std::span<float> out);

// Columns per sample: bins_per_sample, or 0 when binSize is below 1 or
// the lengths are negative.
std::size_t row_width(const Params& params);

// Every region's row on a pool of min(numberOfProcessors, 65535) threads,
// assembled in region order. Fails only when the pool cannot be started
// or the matrix cannot be held in memory.
Result<Matrix> build_matrix(const RegionSet& region_set, const std::vector<Sample>& samples,
                            const std::vector<std::string>& score_file_paths, const Params& params);

}  // namespace binscope
