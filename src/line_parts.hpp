// line_parts.hpp - the lines of a large text file parsed in parts on
// several threads, with the results and the first error in file order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "error.hpp"
#include "text_input.hpp"

namespace binscope {

// How a text file may be split: onto at most `threads` threads, into parts
// of at least min_part_bytes (smaller ones cost more to start and to merge
// than they save).
struct PartPlan {
    std::size_t threads = 1;
    std::uint64_t min_part_bytes = std::uint64_t{4} << 20;
};

// The line ranges, in file order and covering the file, that the file at
// path splits into under plan; none when it is read whole: a pipe, a
// compressed file, one too small to split, or one that cannot be examined
// (the whole read then reports why).
std::vector<LineRange> split_into_line_ranges(const std::string& path, const PartPlan& plan);

namespace detail {

// Calls read(i, range, last_line) for every range on up to `threads`
// threads; read returns its status and sets last_line to the number of the
// last line it saw. The error is that of the first failing range, read
// again with its lines numbered as in the whole file. Memory exhaustion on
// a thread is thrown again here.
Status read_ranges(const std::vector<LineRange>& ranges, std::size_t threads,
                   const std::function<Status(std::size_t, const LineRange&, std::size_t&)>& read);

}  // namespace detail

// Reads the file at path as for_each_line does, parse(part, line, number)
// filling one Part per range in parallel; the parts come back in file
// order, one alone when the file is read whole. On failure the error is
// the one a whole read gives: that of the first bad line, numbered in the
// whole file. parse must touch nothing but its part.
template <class Part, class Parse>
Result<std::vector<Part>> parse_in_parts(const std::string& path, const LineErrors& errors, const PartPlan& plan,
                                         Parse&& parse) {
    const std::vector<LineRange> ranges = split_into_line_ranges(path, plan);
    std::vector<Part> parts(ranges.empty() ? 1 : ranges.size());
    auto read = [&](std::size_t i, const std::optional<LineRange>& range, std::size_t& last_line) {
        parts[i] = Part{};
        return for_each_line_in(path, range, errors, [&](std::string_view line, std::size_t number) {
            last_line = number;
            return parse(parts[i], line, number);
        });
    };
    Status status;
    if (ranges.empty()) {
        std::size_t lines = 0;
        status = read(0, std::nullopt, lines);
    } else {
        status = detail::read_ranges(ranges, plan.threads, read);
    }
    if (!status) return fail(std::move(status.error()));
    return parts;
}

}  // namespace binscope
