// transcript_table.hpp - the transcripts of one group section of a GTF
// file, in the order their ids first appeared, while their exons arrive.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "region.hpp"
#include "text_util.hpp"

namespace binscope {

class TranscriptTable {
public:
    // The pending region of id, inserted empty when the id is new. Its
    // fields are set by the first line of the transcript that names a
    // chromosome (until then by each line): see needs_fields.
    Region& slot(std::string_view id);

    // Whether a line of the transcript still sets its fields.
    static bool needs_fields(const Region& pending) { return pending.chrom.empty(); }

    // Makes this table the next stretch of a section whose earlier
    // stretches are `earlier`: the exons of a transcript one of them
    // already holds go to its first holder, after its own exons (as do its
    // fields while that one's are open), so that only new transcripts keep
    // exons here. Flushing the stretches in order then gives what one table
    // for the whole section gives.
    void join(std::vector<TranscriptTable>& earlier);

    // Moves the transcripts with at least one exon to regions of the given
    // group, in first-seen order, each with its exons sorted by start
    // (equal starts in arrival order); then empties the table.
    void flush(std::vector<Region>& regions, std::size_t group);

private:
    std::vector<Region> pending_;
    std::unordered_map<std::string, std::size_t, TextHash, std::equal_to<>> index_;  // id to pending_ slot
    std::string last_id_;
    std::size_t last_slot_ = static_cast<std::size_t>(-1);
};

}  // namespace binscope
