// header_params.hpp - the run parameters a matrix file's header records,
// so that a matrix read from a file is written back as it was.
#pragma once

#include <string>

#include "error.hpp"
#include "params.hpp"

namespace binscope::python {

// Params from the header's JSON (without the '@'). Fails when a key is
// missing or of the wrong kind, or when the samples' layouts differ (one
// record cannot write that header back).
Result<Params> params_from_header(const std::string& json);

}  // namespace binscope::python
