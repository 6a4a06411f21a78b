// progress.hpp - the "[binscope] " progress lines on standard error.
#pragma once

#include <string_view>

#include "params.hpp"

namespace binscope {

// Writes "[binscope] " + line + "\n" to standard error unless quiet.
void progress(const Params& params, std::string_view line);

}  // namespace binscope
