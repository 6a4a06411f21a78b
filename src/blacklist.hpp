// blacklist.hpp - dropping regions that overlap blacklisted intervals.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "region.hpp"
#include "error.hpp"

namespace binscope {

// Per chromosome, sorted and merged intervals: starts and ends both
// increase strictly along each list.
struct Blacklist {
    std::unordered_map<std::string, std::vector<Block>> intervals;
    std::size_t interval_count() const;
};

// Reads a BED file of intervals to avoid. Errors read "Loading blacklist
// <path>" around the opening, line or coordinate error.
Result<Blacklist> load_blacklist(const std::string& path);

// The regions none of whose blocks overlaps a blacklisted interval, order
// kept. Prints nothing: the caller logs the counts.
std::vector<Region> filter_regions(const RegionSet& set, const Blacklist& blacklist);

}  // namespace binscope
