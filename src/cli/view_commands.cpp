// view_commands.cpp - the options of `view`.
#include "cli/view_commands.hpp"

#include <charconv>
#include <vector>

#include "cli/value_checks.hpp"

namespace binscope::cli {
namespace {

Status port_number(std::string_view value) {
    unsigned long port = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), port);
    if (ec != std::errc() || end != value.data() + value.size() || port > 65535)
        return fail("expected a port number from 0 (any free port) to 65535");
    return {};
}

Status http_link(std::string_view value) {
    if (!value.starts_with("http://") && !value.starts_with("https://"))
        return fail("expected a link starting with http:// or https://");
    return {};
}

std::vector<OptionSpec> view_options() {
    using V = ViewArgs;
    return {
        option<&V::matrix_file>({"matrixFile", 'm', "MATRIX_FILE", true,
                                 "Gzipped matrix file, as written by reference-point or scale-regions"}),
        option<&V::port>({"port", 0, "PORT", false, "Port to listen on (default: a free one)"}, port_number),
        option<&V::bind>({"bind", 0, "ADDRESS", false,
                          "Address to listen on; another than 127.0.0.1 lets other machines connect, with a warning"}),
        option<&V::browser_link>(
            {"browserLink", 0, "TEMPLATE", false,
             "Link of a region's position, with {chrom}, {start} and {end} (1-based) filled in, e.g. "
             "https://genome.example/?position={chrom}:{start}-{end}"},
            http_link),
        option<&V::number_of_processors>(
            {"numberOfProcessors", 'p', "NUMBER_OF_PROCESSORS", false, "Number of processors to use"}),
    };
}

}  // namespace

const CommandSpec& view_command() {
    static const std::vector<OptionSpec> options = view_options();
    static const CommandSpec command{"", "view", "Explore a matrix file in the browser, served from this machine",
                                     kViewTips, options, start_with<ViewArgs>};
    return command;
}

}  // namespace binscope::cli
