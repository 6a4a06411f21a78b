// region_text.hpp - a region set as text, for comparing every field of
// every region at once.
#pragma once

#include <string>

#include "error.hpp"
#include "region.hpp"

namespace binscope::testing {

// "[group]" lines, then one line per region: chrom, blocks as [start,end),
// name, score, group index and strand.
inline std::string region_text(const RegionSet& set) {
    std::string out;
    for (const Group& g : set.groups) out += "[" + g + "]\n";
    for (const Region& r : set.regions) {
        out += r.chrom;
        for (const Block& b : r.blocks) out += " [" + std::to_string(b.start) + "," + std::to_string(b.end) + ")";
        for (const std::string_view text : {std::string_view(r.name), std::string_view(r.score)}) {
            out += ' ';
            out += text;
        }
        out += ' ';
        out += std::to_string(r.group);
        out += ' ';
        out += static_cast<char>(r.strand);
        out += '\n';
    }
    return out;
}

// The text of a set that was read, or "error: " and the reader's message.
inline std::string region_text(const Result<RegionSet>& set) {
    return set ? region_text(*set) : "error: " + set.error().message();
}

}  // namespace binscope::testing
