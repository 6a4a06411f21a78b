// value_checks.hpp - checks of option values beyond their type, shared by
// the subcommands' option tables.
#pragma once

#include <fmt/format.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "error.hpp"

namespace binscope::cli {

// One of the words in Words, for a message "expected a, b or c".
template <const std::string_view* Words, std::size_t N>
Status one_of(std::string_view value) {
    for (std::size_t i = 0; i < N; ++i)
        if (value == Words[i]) return {};
    std::string expected;
    for (std::size_t i = 0; i < N; ++i)
        expected += fmt::format("{}{}", i == 0 ? "" : i + 1 == N ? " or " : ", ", Words[i]);
    return fail("expected " + expected);
}

// A figure file: its extension names the format.
Status figure_path(std::string_view value);

// A count that must be at least 1 (the value already parsed as one).
Status at_least_one(std::string_view value);

Status positive_number(std::string_view value);

Status finite_number(std::string_view value);

// "I/N", one part of a run scattered over N jobs.
Status chunk_value(std::string_view value);

}  // namespace binscope::cli
