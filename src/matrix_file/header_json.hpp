// header_json.hpp - the header line of a matrix file: its JSON keys read
// into a MatrixHeader and checked against each other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "error.hpp"

namespace binscope {

// The header line's keys. The per-sample arrays have one entry per sample.
struct MatrixHeader {
    std::vector<std::int64_t> upstream;
    std::vector<std::int64_t> downstream;
    std::vector<std::int64_t> body;
    std::vector<std::int64_t> bin_size;
    std::vector<std::int64_t> unscaled_5_prime;
    std::vector<std::int64_t> unscaled_3_prime;
    std::vector<std::optional<std::string>> ref_point;  // "TSS", "TES", "center"; none for scale-regions
    std::vector<std::string> sample_labels;
    std::vector<std::size_t> sample_boundaries;  // [0, B, 2B, ..., cols]
    std::vector<std::string> group_labels;
    std::vector<std::size_t> group_boundaries;  // [0, ..., rows]
    std::string json;                           // the header's JSON text as read, without the '@'

    // True when the file was written by a reference-point run (some entry
    // of "ref point" is a string).
    bool is_reference_point() const {
        for (const auto& point : ref_point)
            if (point) return true;
        return false;
    }
};

// Reads the first line of a matrix file (without its "\n"): "@" and a JSON
// object. Keys may come in any order and unknown ones are ignored;
// "unscaled 5 prime" and "unscaled 3 prime" are zeros when absent. The
// boundaries and the per-sample arrays must agree with the labels; whether
// they agree with the rows is for the reader of the rows to check.
Result<MatrixHeader> parse_header_line(std::string_view line);

}  // namespace binscope
