// compute.hpp - the score matrix computed on a worker pool.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "bigwig_reader.hpp"
#include "error.hpp"
#include "matrix/matrix.hpp"
#include "params.hpp"
#include "region.hpp"

namespace binscope {

// Every region's row on a pool of min(numberOfProcessors, 65535) threads,
// assembled in group and region order; rows the thresholds reject are
// left out. The matrix keeps the region set and its rows refer to it.
// Fails only when the pool cannot be started, the matrix does not fit in
// the machine's memory, or `cancel` (when given) is raised: the workers
// look at it before every region and the run then fails with
// "Interrupted".
Result<Matrix> build_matrix(RegionSet region_set, const std::vector<Sample>& samples,
                            const std::vector<std::string>& score_file_paths, const Params& params,
                            const std::atomic<bool>* cancel = nullptr);

}  // namespace binscope
