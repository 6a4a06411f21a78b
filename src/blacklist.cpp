// blacklist.cpp - loading blacklisted intervals and dropping the regions
// that overlap them.
#include "blacklist.hpp"

#include <algorithm>
#include <array>
#include <fmt/format.h>

#include "text_input.hpp"
#include "text_util.hpp"
#include "utf8.hpp"

namespace binscope {

std::size_t Blacklist::interval_count() const {
    std::size_t count = 0;
    for (const auto& entry : intervals) count += entry.second.size();
    return count;
}

namespace {

// Sorts every chromosome's intervals and merges those that overlap or touch.
void merge_intervals(Blacklist& blacklist) {
    for (auto& [chrom, list] : blacklist.intervals) {
        std::stable_sort(list.begin(), list.end(), [](const Block& a, const Block& b) { return a.start < b.start; });
        std::vector<Block> merged;
        for (const Block& block : list) {
            if (!merged.empty() && block.start <= merged.back().end) {
                merged.back().end = std::max(merged.back().end, block.end);
            } else {
                merged.push_back(block);
            }
        }
        list = std::move(merged);
    }
}

Result<Blacklist> read_blacklist(const std::string& path, const std::string& shown) {
    Blacklist blacklist;
    std::array<std::string_view, 3> fields;
    const LineErrors errors{fmt::format("opening blacklist {}", shown), "blacklist"};
    auto status = for_each_line(path, errors, [&](std::string_view line, std::size_t) -> Status {
        if (line.empty() || line[0] == '#' || line.starts_with("track") || line.starts_with("browser")) return {};
        if (split_tabs(line, fields) < 3) return {};
        auto start = parse_int64(fields[1]);
        if (!start) return fail(std::move(start.error()).context("bad blacklist start"));
        auto end = parse_int64(fields[2]);
        if (!end) return fail(std::move(end.error()).context("bad blacklist end"));
        if (*start >= *end) return {};
        auto found = blacklist.intervals.find(std::string(fields[0]));
        if (found == blacklist.intervals.end()) found = blacklist.intervals.emplace(fields[0], std::vector<Block>{}).first;
        found->second.push_back({*start, *end});
        return {};
    });
    if (!status) return fail(std::move(status.error()));
    merge_intervals(blacklist);
    return blacklist;
}

// The interval list of a chromosome under its own name, else under the name
// with its "chr" prefix toggled; null when neither is listed.
const std::vector<Block>* find_list(const Blacklist& blacklist, const std::string& chrom) {
    auto found = blacklist.intervals.find(chrom);
    if (found != blacklist.intervals.end()) return &found->second;
    const std::string other = chrom.starts_with("chr") ? chrom.substr(3) : "chr" + chrom;
    found = blacklist.intervals.find(other);
    return found != blacklist.intervals.end() ? &found->second : nullptr;
}

bool overlaps(const std::vector<Block>& list, const Block& block) {
    // The first interval ending after the block's start is the only candidate.
    auto it = std::partition_point(list.begin(), list.end(), [&](const Block& b) { return b.end <= block.start; });
    return it != list.end() && it->start < block.end;
}

}  // namespace

Result<Blacklist> load_blacklist(const std::string& path) {
    const std::string shown = to_utf8_lossy(path);
    auto loaded = read_blacklist(path, shown);
    if (!loaded) return fail(std::move(loaded.error()).context(fmt::format("Loading blacklist {}", shown)));
    return loaded;
}

std::vector<Region> filter_regions(const RegionSet& set, const Blacklist& blacklist) {
    std::vector<Region> kept;
    // Regions come grouped by chromosome, so one lookup usually serves many.
    const ChromName* last_chrom = nullptr;
    const std::vector<Block>* list = nullptr;
    for (const Region& region : set.regions) {
        if (!last_chrom || *last_chrom != region.chrom) {
            list = find_list(blacklist, std::string(region.chrom.view()));
            last_chrom = &region.chrom;
        }
        const bool dropped =
            list && std::any_of(region.blocks.begin(), region.blocks.end(), [&](const Block& b) { return overlaps(*list, b); });
        if (!dropped) kept.push_back(region);
    }
    return kept;
}

}  // namespace binscope
