// matrix_commands.hpp - the `matrix` family: operations on matrix files
// (info, range, subset, filter, rbind, cbind, sort, relabel), their
// option tables.
#pragma once

#include "cli/grammar.hpp"

namespace binscope::cli {

// The tip group of the matrix operations.
inline constexpr int kMatrixTips = 2;

const FamilySpec& matrix_family();
const CommandSpec& matrix_info_command();
const CommandSpec& matrix_range_command();
const CommandSpec& matrix_subset_command();
const CommandSpec& matrix_filter_command();
const CommandSpec& matrix_rbind_command();
const CommandSpec& matrix_cbind_command();
const CommandSpec& matrix_sort_command();
const CommandSpec& matrix_relabel_command();

}  // namespace binscope::cli
