// bed_reader.hpp - region types and the reading of BED and GTF region files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "error.hpp"

namespace binscope {

// Strand as a code point: '+', '-' or '.'. Only '-' changes the layout.
using Strand = char32_t;

// Strand from a column: its first character '+' or '-', anything else '.'.
Strand parse_strand(std::string_view column);

// One half-open interval [start, end) on the region's chromosome.
struct Block {
    std::int64_t start = 0;
    std::int64_t end = 0;
    friend bool operator==(const Block&, const Block&) = default;
};

// One row of the future matrix. Its start is blocks.front().start and its
// end blocks.back().end; blocks is never empty.
struct Region {
    std::string chrom;
    std::vector<Block> blocks;
    std::string name;
    std::string score;      // column 5 verbatim, or "0"
    std::size_t group = 0;  // index into RegionSet::groups
    Strand strand = U'.';

    std::int64_t start() const { return blocks.front().start; }
    std::int64_t end() const { return blocks.back().end; }
};

using Group = std::string;

// Regions in file order plus the ordered group names (empty groups kept).
struct RegionSet {
    std::vector<Region> regions;
    std::vector<Group> groups;
};

// True when the path's extension, ASCII-lowercased, is gtf, gff or gff3.
bool is_gtf_path(std::string_view path);

// Name of the group a region file opens: "genes" for a single file, else
// the file stem, else "group".
std::string file_group_name(std::string_view path, std::size_t file_count);

// Reads every region file, in order, into one set: BED files (with BED12
// blocks when metagene is set) or, when every path is GTF, GTF files.
// Mixed kinds fail with "Mixing GTF and BED inputs is not supported."
// before any file is opened (the run driver may refuse them first).
Result<RegionSet> read_regions(const std::vector<std::string>& paths, bool metagene);

// The GTF branch of read_regions: one region per transcript, exons as blocks.
Status read_gtf_regions(const std::vector<std::string>& paths, RegionSet& set);

}  // namespace binscope
