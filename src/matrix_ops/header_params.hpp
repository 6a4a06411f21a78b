// header_params.hpp - the run parameters a matrix file's header records,
// so that a matrix read from a file is written back as it was.
#pragma once

#include <string>

#include "error.hpp"
#include "params.hpp"

namespace binscope {

// Params from the header's JSON (without the '@'). Fails when a key is
// missing or of the wrong kind, or when the samples' layouts differ (one
// record cannot write that header back); the error is the bare reason.
// "scale" null (not finite) reads as NaN, which is written back as null.
Result<Params> params_from_header(const std::string& json);

}  // namespace binscope
