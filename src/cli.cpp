// cli.cpp - the subcommands binscope knows, in help order, and the parse
// of the process arguments against them.
#include "cli.hpp"

#include <array>

#include "cli/compute_commands.hpp"
#include "cli/figure_commands.hpp"
#include "cli/grammar.hpp"
#include "cli/matrix_commands.hpp"
#include "cli/view_commands.hpp"

namespace binscope {

ParseOutcome parse_command_line(const std::vector<std::string>& args) {
    static const std::array commands = {
        &cli::reference_point_command(),
        &cli::scale_regions_command(),
        &cli::heatmap_command(),
        &cli::profile_command(),
        &cli::view_command(),
        &cli::matrix_info_command(),
        &cli::matrix_range_command(),
        &cli::matrix_subset_command(),
        &cli::matrix_filter_command(),
        &cli::matrix_rbind_command(),
        &cli::matrix_cbind_command(),
        &cli::matrix_sort_command(),
        &cli::matrix_relabel_command(),
    };
    static const std::array families{cli::matrix_family()};
    return cli::parse_with(commands, families, args);
}

}  // namespace binscope
