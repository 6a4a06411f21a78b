// reader.hpp - an open bigWig score file: header, chromosome list and
// per-base interval queries.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "error.hpp"

namespace binscope {

enum class ByteOrder { Little, Big };

struct ChromInfo {
    std::string name;
    std::uint32_t length = 0;
    std::uint32_t id = 0;
};

// The fixed 64-byte header fields the reader keeps.
struct BigWigHeader {
    std::uint16_t version = 0;
    std::uint16_t zoom_levels = 0;
    std::uint64_t chrom_tree_offset = 0;
    std::uint64_t full_data_offset = 0;
    std::uint64_t full_index_offset = 0;
    std::uint16_t field_count = 0;
    std::uint16_t defined_field_count = 0;
    std::uint64_t auto_sql_offset = 0;
    std::uint64_t total_summary_offset = 0;
    std::uint32_t uncompress_buf_size = 0;  // 0: data blocks are stored as they are
};

// One zoom level header; kept in file order, never used by queries.
struct ZoomHeader {
    std::uint32_t reduction_level = 0;
    std::uint32_t reserved = 0;
    std::uint64_t data_offset = 0;
    std::uint64_t index_offset = 0;
};

// A stretch [start, end) of bases that share one score.
struct ScoreRun {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    float value = 0;
};

// How a run query walks a file's records.
enum class RunOrder {
    // As writers lay records out, sorted and disjoint: handed out as they are.
    Sorted,
    // Any records: windows of bases painted as values_into() paints them, then
    // read back as runs.
    Painted,
};

// One step of a run query: runs valid until the next step, none when the
// query is done.
struct RunBatch {
    std::span<const ScoreRun> runs;
    // A RunOrder::Sorted query met records that overlap or go back; the
    // runs handed out so far may be wrong, and the query must start again
    // as RunOrder::Painted.
    bool unsorted = false;
};

// Work counters of one reader, for benchmarks and tests of the caches.
struct ReaderStats {
    std::uint64_t index_header_reads = 0;  // R-tree index header loads
    std::uint64_t node_reads = 0;          // R-tree nodes read from the file
    std::uint64_t block_reads = 0;         // data blocks read from the file
    std::uint64_t blocks_inflated = 0;     // data blocks decompressed
    std::uint64_t block_cache_hits = 0;    // blocks served from the cache
};

// An open score file. Move-only; a reader serves one query at a time and
// is never shared between threads.
class BigWigReader {
public:
    // Opens and validates the file, reading its whole chromosome tree; a
    // path that is an http:// or https:// URL is read with range requests.
    // The error is "NotABigWig", "InvalidChroms" or that of the failed read
    // ("failed to fill whole buffer" when short, else the system's or the
    // server's). On a failure after the file was opened, writes "Error when
    // opening: " and the quoted path to standard error.
    static Result<BigWigReader> open(const std::string& path);

    // As open(), reading the file's bytes from memory; display_path stands
    // for the path in the "Error when opening: " line.
    static Result<BigWigReader> open_memory(std::string bytes, const std::string& display_path);

    BigWigReader(BigWigReader&&) noexcept;
    BigWigReader& operator=(BigWigReader&&) noexcept;
    ~BigWigReader();

    // Chromosomes in tree order (neither sorted nor de-duplicated).
    const std::vector<ChromInfo>& chroms() const;
    // The byte order the magic number chose for the whole file.
    ByteOrder byte_order() const;
    // The fixed header and the zoom headers, in file order.
    const BigWigHeader& header() const;
    const std::vector<ZoomHeader>& zoom_headers() const;
    // What this reader's queries have read and decompressed so far.
    const ReaderStats& stats() const;

    // One score per base of [start, end) of the named chromosome into out
    // (end - start floats), NaN where no record covers the base. Errors:
    // "The passed chromosome (<name>) was incorrect.", "Invalid magic
    // (likely a bug).", "The file was invalid: <what>", "Error occurred:
    // <read error>"; a decompressor that cannot be had is of kind
    // out_of_memory. After an error out holds no useful values.
    Status values_into(std::string_view chrom, std::uint32_t start, std::uint32_t end, std::span<float> out);

    // Starts a run query on [start, end) of the named chromosome
    // (start < end), finding and checking its blocks as values_into() does: an
    // error here is one values_into() gives for the interval.
    Status begin_runs(std::string_view chrom, std::uint32_t start, std::uint32_t end, RunOrder order);
    // The next runs of the query, in position order and clipped to it; the
    // bases between them have no value, and every base has the value
    // values_into() gives it. An error means values_into() fails on the
    // interval.
    Result<RunBatch> next_runs();

    struct Impl;

private:
    explicit BigWigReader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace binscope
