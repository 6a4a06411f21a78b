// matrix_file.hpp - reading a gzipped matrix file (whoever wrote it) back
// into a Matrix: the header's keys and every row, values exactly as written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "error.hpp"
#include "matrix/matrix.hpp"

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

// A matrix read from a file. In `matrix`: the values (rows x cols), one
// region per row in file order (row_regions is 0, 1, 2, ...), the groups
// named by the header's group labels with each region's group index set
// from the group boundaries, the group boundaries and the sample labels.
// A region's score is the text of the row's fifth column.
struct MatrixFile {
    MatrixHeader header;
    Matrix matrix;
};

// Reads the file at `path`, parsing rows on `threads` worker threads; the
// result does not depend on the thread count. Errors name the file and,
// for a row, its line number.
Result<MatrixFile> read_matrix_file(const std::string& path, std::size_t threads);

}  // namespace binscope
