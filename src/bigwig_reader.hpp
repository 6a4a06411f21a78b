// bigwig_reader.hpp - the score source: what the rest of the program sees
// of the score files. Samples and their chromosome tables, a worker's
// readers, chromosome name matching, and the runs of a row's stretches.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bigwig_reader_runs.hpp"
#include "error.hpp"

namespace binscope {

class BigWigReader;

namespace bigwig {
class RemoteSession;
}

// Chromosome name (exact bytes) to length, for one score file.
using ChromLengthTable = std::unordered_map<std::string, std::uint32_t>;

// One score file of the run; sample order is command-line order.
struct Sample {
    std::string path;
    std::string label;
    ChromLengthTable chrom_table;
};

// Opens the file once, builds its table and closes it. Errors read
// "Opening <path>" / "opening bigwig <path>" / the root cause.
Result<ChromLengthTable> open_chrom_table(const std::string& path);

// "chr1" <-> "1", "chrM" -> "MT", "MT" / "M" -> "chrM", "chrMT" -> "MT".
std::string alternate_chrom_name(std::string_view name);

// The name a region's chromosome has in the table and its length: the
// name itself, else its alternate, else the alternate's alternate; nothing
// when none is there.
std::optional<std::pair<std::string, std::uint32_t>> resolve_chrom(const ChromLengthTable& table,
                                                                   std::string_view name);

// A worker's score files: one reader per file, kept for all the worker's
// regions, and the runs of the row in hand. Owned by one worker thread.
class ReaderCache {
public:
    ReaderCache();
    ~ReaderCache();
    ReaderCache(const ReaderCache&) = delete;
    ReaderCache& operator=(const ReaderCache&) = delete;

    // Makes sure there is one reader per path, opening every file again
    // when the count differs; a file that fails to open has none on this
    // worker. Remote files are read through session when given.
    void open(const std::vector<std::string>& paths, bigwig::RemoteSession* session = nullptr);

    // Calls bins(runs) with the runs of `stretches` of chromosome `chrom`
    // (its name in the file) of score file k. A stretch that fails to read
    // becomes missing, and one whose records prove unsorted is read again
    // by painting; either way bins is called again for the whole row, which
    // real files never need. False, without a call, when file k has no
    // reader on this worker.
    bool read_row(std::size_t k, const std::string& chrom, std::vector<Stretch>& stretches,
                  const std::function<void(RowRuns&)>& bins);

    // Whether file k has a reader on this worker.
    bool is_open(std::size_t k) const;

private:
    std::vector<std::unique_ptr<BigWigReader>> slots_;
    RowRuns runs_;
};

}  // namespace binscope
