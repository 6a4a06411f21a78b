// interruptible.hpp - the matrix computed without the GIL, on its own
// thread, while the calling thread watches for Ctrl-C.
#pragma once

#include "matrix/matrix.hpp"
#include "params.hpp"

namespace binscope::python {

// compute_matrix on a thread of its own; the caller's thread, which holds
// the GIL on entry, releases it and every 100 ms runs Python's signal
// handlers. When a handler raises (KeyboardInterrupt), the workers are
// cancelled and joined and that exception propagates
// (py::error_already_set). A failed run throws RunFailure.
Matrix compute_interruptibly(const Params& params);

}  // namespace binscope::python
