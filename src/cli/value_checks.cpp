// value_checks.cpp - checks of option values beyond their type.
#include "cli/value_checks.hpp"

#include <cmath>

#include "cli/grammar.hpp"
#include "figure/figure_options.hpp"
#include "params.hpp"

namespace binscope::cli {

Status figure_path(std::string_view value) {
    if (figure_format_of_path(value)) return {};
    return fail("the extension must be .png, .svg or .pdf (any case)");
}

Status at_least_one(std::string_view value) {
    if (value.find_first_not_of("+0") == std::string_view::npos) return fail("must be at least 1");
    return {};
}

Status positive_number(std::string_view value) {
    const auto number = parse_float(value);
    if (number && std::isfinite(*number) && *number > 0) return {};
    return fail("must be a number above 0");
}

Status finite_number(std::string_view value) {
    const auto number = parse_float(value);
    if (number && std::isfinite(*number)) return {};
    return fail("must be a finite number");
}

Status chunk_value(std::string_view value) {
    auto chunk = parse_chunk(value);
    if (!chunk) return fail(std::move(chunk.error()));
    return {};
}

}  // namespace binscope::cli
