// params_from_cli.hpp - the run parameters from the parsed command line:
// the one place that knows both the command-line records and Params.
#pragma once

#include "cli.hpp"
#include "error.hpp"
#include "params.hpp"

namespace binscope {

// Converts the parsed command line into Params, validating the reference
// point, the statistic name, the bin size and the lengths.
Result<Params> make_params(const Cli& cli);

}  // namespace binscope
