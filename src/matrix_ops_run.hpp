// matrix_ops_run.hpp - the `matrix` operations run from the command line:
// their records turned into settings, the report printed, the exit status.
#pragma once

#include <optional>

#include "cli.hpp"

namespace binscope {

// The exit status of the matrix operation `cli` holds (0, 1 for a bad
// file, 2 for options that do not fit it), having printed its output or
// its error report; nothing when `cli` holds no matrix operation.
std::optional<int> run_matrix_operation(const Cli& cli);

}  // namespace binscope
