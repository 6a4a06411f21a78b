// bigwig_reader.hpp - what the rest of the program sees of the score files:
// chromosome tables, per-thread readers, name matching and interval values.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bigwig/reader.hpp"
#include "error.hpp"

namespace binscope {

// Chromosome name (exact bytes) to length, for one score file.
using ChromLengthTable = std::unordered_map<std::string, std::uint32_t>;

// Opens the file once, builds its table and closes it. Errors read
// "Opening <path>" / "opening bigwig <path>" / the root cause.
Result<ChromLengthTable> open_chrom_table(const std::string& path);

// One slot per score file, in sample order; an empty slot is a file that
// failed to open on this thread. Owned by one worker thread.
class ReaderCache {
public:
    // Makes sure there is one slot per path, opening every file again when
    // the count differs. Failed opens leave empty slots.
    std::vector<std::optional<BigWigReader>>& readers(const std::vector<std::string>& paths);

private:
    std::vector<std::optional<BigWigReader>> slots_;
};

// "chr1" <-> "1", "chrM" -> "MT", "MT" / "M" -> "chrM", "chrMT" -> "MT".
std::string alternate_chrom_name(std::string_view name);

// The name found in the table (name itself, else its alternate) and its
// length, or nothing.
std::optional<std::pair<std::string, std::uint32_t>> resolve_chrom(const ChromLengthTable& table,
                                                                   std::string_view name);

// Per-base values of [start, end) in region coordinates (start <= end),
// written into out (end - start floats): NaN below 0, at or past the
// chromosome length, where the file has no value, and everywhere when the
// query fails. Throws std::bad_alloc when the query runs out of memory.
void interval_values(BigWigReader& reader, std::string_view name, std::uint32_t length, std::int64_t start,
                     std::int64_t end, std::span<float> out);

}  // namespace binscope
