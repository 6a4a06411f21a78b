// run_stages.hpp - the two halves of a run, callable apart: compute the
// matrix, then write its files (the command line and the Python module
// both call them).
#pragma once

#include <atomic>

#include "error.hpp"
#include "matrix/matrix.hpp"
#include "params.hpp"

namespace binscope {

// What a caller can do to a running computation besides waiting for it.
struct RunControl {
    // When given and raised, the workers stop before their next region
    // and compute_matrix fails with "Interrupted".
    const std::atomic<bool>* cancel = nullptr;
};

// Loads the regions (less the blacklisted ones), opens the score files,
// computes every row, drops zero rows under skipZeros and sorts the rows:
// the matrix as it will be written. Progress lines as the run goes.
Result<Matrix> compute_matrix(const Params& params, const RunControl& control);

// The matrix file, then the optional values and regions files, as
// params names them.
Status write_outputs(const Matrix& matrix, const Params& params);

}  // namespace binscope
