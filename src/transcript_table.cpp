// transcript_table.cpp - pending transcripts: lookup, merging, flushing.
#include "transcript_table.hpp"

#include <algorithm>

namespace binscope {

namespace {

// Sorts blocks by start, equal starts in arrival order. Exons mostly come
// in the order of their strand: ascending already, or strictly descending,
// which a reversal sorts without the stable sort's buffer.
void sort_by_start(BlockList& blocks) {
    auto before = [](const Block& a, const Block& b) { return a.start < b.start; };
    if (std::is_sorted(blocks.begin(), blocks.end(), before)) return;
    auto not_after = [](const Block& a, const Block& b) { return a.start <= b.start; };
    if (std::adjacent_find(blocks.begin(), blocks.end(), not_after) == blocks.end()) {
        std::reverse(blocks.begin(), blocks.end());
        return;
    }
    std::stable_sort(blocks.begin(), blocks.end(), before);
}

}  // namespace

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

void TranscriptTable::join(std::vector<TranscriptTable>& earlier) {
    if (earlier.empty()) return;
    // The order of the ids does not matter: each one goes to its own holder.
    for (const auto& [id, index] : index_) {
        for (TranscriptTable& stretch : earlier) {
            const auto held = stretch.index_.find(id);
            if (held == stretch.index_.end()) continue;
            Region& into = stretch.pending_[held->second];
            Region& from = pending_[index];
            into.blocks.append(from.blocks.data(), from.blocks.size());
            from.blocks.clear();  // left without exons, flushing drops it
            if (needs_fields(into)) {
                // Every line of `into` left its fields open: `from` holds
                // what the later lines made of them.
                into.chrom = std::move(from.chrom);
                into.name = std::move(from.name);
                into.score = std::move(from.score);
                into.strand = from.strand;
            }
            break;
        }
    }
}

void TranscriptTable::flush(std::vector<Region>& regions, std::size_t group) {
    // Exactly the room needed for the first section, geometric growth after:
    // a file of many small sections stays linear.
    if (regions.capacity() - regions.size() < pending_.size())
        regions.reserve(std::max(regions.size() + pending_.size(), regions.capacity() * 2));
    for (Region& region : pending_) {
        if (region.blocks.empty()) continue;
        sort_by_start(region.blocks);
        region.group = static_cast<GroupIndex>(group);
        regions.push_back(std::move(region));
    }
    pending_.clear();
    index_.clear();
    last_id_.clear();
    last_slot_ = static_cast<std::size_t>(-1);
}

}  // namespace binscope
