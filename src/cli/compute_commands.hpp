// compute_commands.hpp - the subcommands that compute a matrix,
// `reference-point` and `scale-regions`: their option tables.
#pragma once

#include "cli/grammar.hpp"

namespace binscope::cli {

// The tip group of the subcommands that compute a matrix.
inline constexpr int kComputeTips = 0;

const CommandSpec& reference_point_command();
const CommandSpec& scale_regions_command();

}  // namespace binscope::cli
