// region.hpp - the regions of a run: blocks, strand, groups and the region set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "block_list.hpp"
#include "chrom_name.hpp"
#include "small_text.hpp"

namespace binscope {

// Strand as a code point: '+', '-' or '.'. Only '-' changes the layout.
using Strand = char32_t;

// The index of a region's group. 32 bits keep a region small; the readers
// refuse a file that opens more groups than it can count (kMaxGroups).
using GroupIndex = std::uint32_t;
inline constexpr std::size_t kMaxGroups = std::size_t{1} << 32;

// One row of the future matrix. Its start is blocks.front().start and its
// end blocks.back().end; blocks is never empty. A run may hold millions of
// regions: the chromosome name is shared, and the common single block and
// a name and score of up to 15 bytes each take no heap room (72 bytes a
// region in all).
struct Region {
    ChromName chrom;
    BlockList blocks;
    SmallText name;
    SmallText score;       // column 5 verbatim, or "0"
    GroupIndex group = 0;  // index into RegionSet::groups
    Strand strand = U'.';

    std::int64_t start() const { return blocks.front().start; }
    std::int64_t end() const { return blocks.back().end; }
};

static_assert(sizeof(Region) <= 72 || sizeof(void*) != 8);

using Group = std::string;

// Regions in file order plus the ordered group names (empty groups kept).
struct RegionSet {
    std::vector<Region> regions;
    std::vector<Group> groups;
};

}  // namespace binscope
