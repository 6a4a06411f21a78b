// file_errors.hpp - the texts of score-file errors: the open sequence's and
// the interval queries'.
#pragma once

#include <fmt/format.h>

#include <string>
#include <string_view>
#include <utility>

#include "error.hpp"

namespace binscope::bigwig {

// An open that found no bigWig magic, or found a bigBed file.
inline Error not_a_bigwig() { return Error("NotABigWig"); }
// An open whose chromosome tree is unusable.
inline Error invalid_chroms() { return Error("InvalidChroms"); }

// A query whose read failed or came back short: the cause wrapped in a line
// that repeats its message, as the query's errors always read.
inline Error read_failed(Error cause) {
    std::string outer = fmt::format("Error occurred: {}", cause.message());
    return std::move(cause).context(std::move(outer));
}
// A query that met a structure no well-formed file has.
inline Error invalid_file(std::string_view what) { return Error(fmt::format("The file was invalid: {}", what)); }
// A query whose R-tree index header lacks its magic.
inline Error unknown_magic() { return Error("Invalid magic (likely a bug)."); }

}  // namespace binscope::bigwig
