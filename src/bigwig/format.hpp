// format.hpp - the low-level types of a score file: byte order, header
// records, chromosome entries and runs of scores.
#pragma once

#include <cstdint>
#include <span>
#include <string>

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
    // Any records: windows of bases painted base by base, every record in
    // block order writing over what came before, then read back as runs.
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

}  // namespace binscope
