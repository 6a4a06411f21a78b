// compute.hpp - the score matrix computed on a worker pool.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "../bed_reader.hpp"
#include "../binning.hpp"
#include "../bigwig_reader.hpp"
#include "../error.hpp"
#include "../labels.hpp"
#include "../params.hpp"
#include "matrix.hpp"

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

// Every region's row on a pool of min(numberOfProcessors, 65535) threads,
// assembled in region order. Fails only when the pool cannot be started.
Result<Matrix> build_matrix(const RegionSet& region_set, const std::vector<Sample>& samples,
                            const std::vector<std::string>& score_file_paths, const Params& params);

}  // namespace binscope
