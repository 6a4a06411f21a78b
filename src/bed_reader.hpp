// bed_reader.hpp - the reading of BED and GTF region files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "error.hpp"
#include "line_parts.hpp"
#include "region.hpp"

namespace binscope {

// Strand from a column: its first character '+' or '-', anything else '.'.
Strand parse_strand(std::string_view column);

// True when the path's extension, ASCII-lowercased, is gtf, gff or gff3.
bool is_gtf_path(std::string_view path);

// Name of the group a region file opens: "genes" for a single file, else
// the file stem, else "group".
std::string file_group_name(std::string_view path, std::size_t file_count);

// Appends a group name; refused when the group's index would not fit a
// region's GroupIndex.
Status add_group(std::vector<Group>& groups, std::string_view name);

// Reads every region file, in order, into one set: BED files (with BED12
// blocks when metagene is set) or, when every path is GTF, GTF files, each
// large one on up to `threads` threads. Mixed kinds fail with "Mixing GTF
// and BED inputs is not supported." before any file is opened.
Result<RegionSet> read_regions(const std::vector<std::string>& paths, bool metagene, std::size_t threads = 1);

// The GTF branch of read_regions: one region per transcript, exons as
// blocks; each file split as plan allows, with the result of a whole read.
Status read_gtf_regions(const std::vector<std::string>& paths, RegionSet& set, const PartPlan& plan = {});

}  // namespace binscope
