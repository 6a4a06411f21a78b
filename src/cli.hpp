// cli.hpp - the parsed command line: one record per subcommand, and the
// parser that fills them.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "cli/compute_args.hpp"
#include "cli/figure_args.hpp"
#include "cli/matrix_args.hpp"
#include "cli/view_args.hpp"

namespace binscope {

struct Cli {
    std::variant<ReferencePoint, ScaleRegions, Heatmap, Profile, ViewArgs, MatrixInfo, MatrixRange, MatrixSubset,
                 MatrixFilter, MatrixRbind, MatrixCbind, MatrixSort, MatrixRelabel>
        command;
};

// What the parser decided: run with a Cli, or stop with text and a status
// (help and version on standard output with 0, usage errors on standard
// error with 2).
struct ParseExit {
    std::string text;
    bool to_stderr = false;
    int status = 0;
};

using ParseOutcome = std::variant<Cli, ParseExit>;

// Parses the process arguments (argv[0] is the program name).
ParseOutcome parse_command_line(const std::vector<std::string>& args);

}  // namespace binscope
