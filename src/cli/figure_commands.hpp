// figure_commands.hpp - the subcommands that draw a matrix file,
// `heatmap` and `profile`: their option tables.
#pragma once

#include "cli/grammar.hpp"

namespace binscope::cli {

// The tip group of the subcommands that draw a matrix file.
inline constexpr int kFigureTips = 1;

const CommandSpec& heatmap_command();
const CommandSpec& profile_command();

}  // namespace binscope::cli
