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

// Reads the file at path as for_each_line does, split under plan: parts(n)
// is told the number of parts first, then parse(i, line, number) gets
// every line of part i, the parts in parallel. On failure the error is the
// one a whole read gives: that of the first bad line, numbered in the whole
// file. parse must touch nothing but what belongs to its part.
Status for_each_line_in_parts(const std::string& path, const LineErrors& errors, const PartPlan& plan,
                              const std::function<void(std::size_t)>& parts,
                              const std::function<Status(std::size_t, std::string_view, std::size_t)>& parse);

// Reads the file at path as for_each_line does, parse(part, line, number)
// filling one Part per range in parallel; the parts come back in file
// order, one alone when the file is read whole. On failure the error is
// the one a whole read gives. parse must touch nothing but its part.
template <class Part, class Parse>
Result<std::vector<Part>> parse_in_parts(const std::string& path, const LineErrors& errors, const PartPlan& plan,
                                         Parse&& parse) {
    std::vector<Part> parts;
    auto status = for_each_line_in_parts(
        path, errors, plan, [&](std::size_t count) { parts.resize(count); },
        [&](std::size_t i, std::string_view line, std::size_t number) { return parse(parts[i], line, number); });
    if (!status) return fail(std::move(status.error()));
    return parts;
}

}  // namespace binscope
