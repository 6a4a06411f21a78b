// command_line_fuzzer.cpp - parses arbitrary argument lists (the input split
// at NUL bytes) and turns every accepted one into run or figure parameters.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

#include "cli.hpp"
#include "error.hpp"
#include "figure_params_from_cli.hpp"
#include "params.hpp"
#include "params_from_cli.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args{"binscope"};
    std::string current;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(std::move(current));
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (size > 0) args.push_back(std::move(current));

    auto outcome = binscope::parse_command_line(args);
    if (const auto* exit = std::get_if<binscope::ParseExit>(&outcome)) {
        if (exit->status != 0 && exit->status != 2) std::abort();
        return 0;
    }
    const auto& cli = std::get<binscope::Cli>(outcome);
    if (const auto* heatmap = std::get_if<binscope::Heatmap>(&cli.command)) {
        if (binscope::make_figure_params(*heatmap).threads < 1) std::abort();
        return 0;
    }
    if (const auto* profile = std::get_if<binscope::Profile>(&cli.command)) {
        if (binscope::make_figure_params(*profile).threads < 1) std::abort();
        return 0;
    }
    auto params = binscope::make_params(cli);
    if (!params) {
        (void)binscope::format_error_report(params.error());
        return 0;
    }
    if (params->numberOfProcessors < 1 || params->binSize < 1) std::abort();
    if (binscope::bins_per_sample(*params) < 0) std::abort();
    (void)binscope::parse_sort_regions(params->sortRegions);
    (void)binscope::parse_sort_using(params->sortUsing);
    return 0;
}
