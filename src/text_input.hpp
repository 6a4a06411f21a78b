// text_input.hpp - line-by-line reading of text input files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "error.hpp"

namespace binscope {

// The context the errors of for_each_line get: `opening` around the
// system's error opening the file, `reading` and " line N" around the
// error reading line N.
struct LineErrors {
    std::string opening;
    std::string reading;
};

// A run of whole lines inside an uncompressed file: the bytes [begin, end),
// begin at the start of a line, and the number its first line has.
struct LineRange {
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    std::size_t first_line = 1;
};

// What a line reader calls for each line: visit(line, number).
using LineVisit = std::function<Status(std::string_view line, std::size_t number)>;

// Calls visit(line, number) for every line of the text file at path, or
// of one range of it, in order, and stops at the first error: opening or
// reading the file (in the context `errors` gives) or one visit returns
// (passed on as it is). Lines are numbered from 1, or from the range's
// first_line, and every line counts, blank ones included. Each line comes
// without its trailing '\r' and '\n' characters and stays valid only
// during its visit. Text that is not valid UTF-8 is a read error of the
// line that holds it.
Status for_each_line_in(const std::string& path, const std::optional<LineRange>& range, const LineErrors& errors,
                        const LineVisit& visit);

// for_each_line_in over the whole file.
Status for_each_line(const std::string& path, const LineErrors& errors, const LineVisit& visit);

}  // namespace binscope
