// section_decoder.hpp - decodes one data block's section into runs, and
// writes the runs that meet a query into its per-base values.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "bigwig/format.hpp"
#include "error.hpp"

namespace binscope::bigwig {

// One record as the half-open run of bases it covers. end may lie before
// start when a 32-bit sum wrapped or a bedGraph record is inverted.
struct Run {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    float value = 0;
};

// A block's section, decoded once so that every query on the block only
// scans runs.
struct DecodedSection {
    std::uint32_t chrom_id = 0;
    // Whether the records could be decoded; a failure is reported only to
    // queries on chrom_id, since a block of another chromosome is skipped
    // unexamined.
    Status records;
    // Runs sorted by start, none inverted, none overlapping the next: a
    // query can then look up its first run instead of scanning them all.
    bool ordered = false;
    std::vector<Run> runs;  // in record order
};

// Decodes data into out, reusing out's storage. Data shorter than the
// 24-byte section header is an invalid file; an unknown type or records
// past the end of the data are recorded in out.records.
Status decode_section(std::span<const std::uint8_t> data, ByteOrder order, DecodedSection& out);

// Writes every run of the section that overlaps [start, end) of chrom into
// values (values[0] is base start), clipped, in record order so that later
// runs overwrite earlier ones. A section of another chromosome writes
// nothing; inverted runs are skipped.
Status write_section(const DecodedSection& section, std::uint32_t chrom, std::uint32_t start, std::uint32_t end,
                     std::span<float> values);

// Appends the runs of the section that overlap [start, end) of chrom to
// out, clipped, in record order, while each starts at or after `done` (the
// end of the run before it), which it moves on. False when a run starts
// before `done`: the records overlap or go back. A section of another
// chromosome appends nothing; inverted runs are skipped.
Result<bool> append_runs(const DecodedSection& section, std::uint32_t chrom, std::uint32_t start, std::uint32_t end,
                         std::uint32_t& done, std::vector<ScoreRun>& out);

}  // namespace binscope::bigwig
