// run.cpp - the process entry and the pipeline of one run, stage after stage.
#include "run.hpp"

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <fmt/format.h>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli.hpp"
#include "figure_params_from_cli.hpp"
#include "figure_run.hpp"
#include "matrix_ops_run.hpp"
#include "params_from_cli.hpp"
#include "progress.hpp"
#include "run_stages.hpp"
#include "view/view_server.hpp"

namespace binscope {

namespace {

void write_text(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

// The settings of a figure subcommand; nothing for a matrix subcommand.
std::optional<FigureParams> figure_params(const Cli& cli) {
    if (const auto* heatmap = std::get_if<Heatmap>(&cli.command)) return make_figure_params(*heatmap);
    if (const auto* profile = std::get_if<Profile>(&cli.command)) return make_figure_params(*profile);
    return std::nullopt;
}

// The settings of `view`; nothing for another subcommand.
std::optional<ViewSettings> view_settings(const Cli& cli) {
    const auto* args = std::get_if<ViewArgs>(&cli.command);
    if (!args) return std::nullopt;
    ViewSettings settings;
    settings.matrix_file = args->matrix_file;
    settings.port = static_cast<std::uint16_t>(args->port);  // the parser checked it is at most 65535
    settings.bind_address = args->bind;
    settings.threads = args->number_of_processors == 0 ? 1 : args->number_of_processors;
    settings.browser_link = args->browser_link;
    return settings;
}

}  // namespace

Status run(const Params& params) {
    auto matrix = compute_matrix(params, RunControl{});
    if (!matrix) return fail(std::move(matrix.error()));
    if (auto written = write_outputs(*matrix, params); !written) return written;
    progress(params.quiet, fmt::format("Wrote {} ({} rows)", params.outFileName, matrix->rows()));
    return {};
}

int run_main(int argc, char** argv) {
    try {
        const std::vector<std::string> args(argv, argv + argc);
        auto parsed = parse_command_line(args);
        if (const auto* exit = std::get_if<ParseExit>(&parsed)) {
            write_text(exit->to_stderr ? stderr : stdout, exit->text);
            return exit->status;
        }
        if (auto view = view_settings(std::get<Cli>(parsed))) {
            if (auto status = run_view(*view); !status) {
                write_text(stderr, format_error_report(status.error()));
                return 1;
            }
            return 0;
        }
        if (auto status = run_matrix_operation(std::get<Cli>(parsed))) return *status;
        if (auto figure = figure_params(std::get<Cli>(parsed))) {
            if (auto status = run_figure(*figure); !status) {
                write_text(stderr, format_error_report(status.error()));
                return 1;
            }
            return 0;
        }
        auto params = make_params(std::get<Cli>(parsed));
        if (!params) {
            write_text(stderr, format_error_report(params.error()));
            return 1;
        }
        if (auto status = run(*params); !status) {
            write_text(stderr, format_error_report(status.error()));
            return 1;
        }
        return 0;
    } catch (const std::bad_alloc&) {
        // Running out of memory, on this thread or on a worker (the worker
        // pool throws it again on its caller's thread), ends the run here
        // and nowhere else: inputs whose work exceeds the memory at hand.
        write_text(stderr, format_error_report(Error("Out of memory")));
    } catch (const std::exception& e) {
        write_text(stderr, format_error_report(Error(e.what())));
    }
    return 1;
}

}  // namespace binscope
