// transcript_table.cpp - pending transcripts: lookup, merging, flushing.
#include "transcript_table.hpp"

#include <algorithm>

namespace binscope {

Region& TranscriptTable::slot(std::string_view id) {
    // Exon lines of one transcript usually follow each other.
    if (last_slot_ < pending_.size() && last_id_ == id) return pending_[last_slot_];
    auto found = index_.find(id);
    if (found == index_.end()) {
        found = index_.emplace(std::string(id), pending_.size()).first;
        pending_.emplace_back();
    }
    last_id_.assign(id);
    last_slot_ = found->second;
    return pending_[last_slot_];
}

void TranscriptTable::absorb(TranscriptTable&& later) {
    if (pending_.empty()) {
        *this = std::move(later);
        return;
    }
    std::vector<const std::string*> ids(later.pending_.size());
    for (const auto& [id, index] : later.index_) ids[index] = &id;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        Region& from = later.pending_[i];
        Region& into = slot(*ids[i]);
        if (into.blocks.empty()) into.blocks = std::move(from.blocks);
        else into.blocks.insert(into.blocks.end(), from.blocks.begin(), from.blocks.end());
        if (!needs_fields(into)) continue;
        // Every line of `into` so far left its fields open: `from` holds
        // what the later lines made of them.
        into.chrom = std::move(from.chrom);
        into.name = std::move(from.name);
        into.score = std::move(from.score);
        into.strand = from.strand;
    }
    later = TranscriptTable();
}

void TranscriptTable::flush(std::vector<Region>& regions, std::size_t group) {
    // Exactly the room needed for the first section, geometric growth after:
    // a file of many small sections stays linear.
    if (regions.capacity() - regions.size() < pending_.size())
        regions.reserve(std::max(regions.size() + pending_.size(), regions.capacity() * 2));
    for (Region& region : pending_) {
        if (region.blocks.empty()) continue;
        std::stable_sort(region.blocks.begin(), region.blocks.end(),
                         [](const Block& a, const Block& b) { return a.start < b.start; });
        region.group = group;
        regions.push_back(std::move(region));
    }
    pending_.clear();
    index_.clear();
    last_id_.clear();
    last_slot_ = static_cast<std::size_t>(-1);
}

}  // namespace binscope
