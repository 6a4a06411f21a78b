// view_commands.hpp - the subcommand that shows a matrix file in the
// browser, `view`: its option table.
#pragma once

#include "cli/grammar.hpp"

namespace binscope::cli {

// The tip group of `view` (its options are no tip for the other subcommands).
inline constexpr int kViewTips = 2;

const CommandSpec& view_command();

}  // namespace binscope::cli
