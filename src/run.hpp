// run.hpp - the pipeline of one run, stage after stage.
#pragma once

#include "error.hpp"
#include "params.hpp"

namespace binscope {

Status run(const Params& params);

// The process entry: parse, build the parameters, run, report.
int run_main(int argc, char** argv);

}  // namespace binscope
