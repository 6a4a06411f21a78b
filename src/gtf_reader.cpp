// gtf_reader.cpp - GTF/GFF region files: one region per transcript, its
// exons as blocks.
#include <algorithm>
#include <array>
#include <fmt/format.h>
#include <functional>
#include <string>
#include <unordered_map>

#include "bed_reader.hpp"
#include "text_input.hpp"
#include "text_input_path.hpp"
#include "text_util.hpp"
#include "utf8.hpp"

namespace binscope {

namespace {

// Hashes std::string and std::string_view alike, so that lookups by a view
// into the current line need no copy.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const noexcept { return std::hash<std::string_view>{}(text); }
};

// Transcripts of the current group section, in the order their ids first
// appeared, each a region whose blocks grow as exon lines arrive.
class TranscriptTable {
public:
    // The pending region of id, inserted empty when the id is new.
    Region& slot(std::string_view id) {
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

    // Moves the transcripts with at least one exon to regions, in
    // first-seen order, each with its exons sorted by start; then empties
    // the table.
    void flush(std::vector<Region>& regions) {
        regions.reserve(regions.size() + pending_.size());
        for (Region& region : pending_) {
            if (region.blocks.empty()) continue;
            std::stable_sort(region.blocks.begin(), region.blocks.end(),
                             [](const Block& a, const Block& b) { return a.start < b.start; });
            regions.push_back(std::move(region));
        }
        pending_.clear();
        index_.clear();
        last_id_.clear();
        last_slot_ = static_cast<std::size_t>(-1);
    }

private:
    std::vector<Region> pending_;
    std::unordered_map<std::string, std::size_t, TextHash, std::equal_to<>> index_;
    std::string last_id_;
    std::size_t last_slot_ = static_cast<std::size_t>(-1);
};

// Calls visit(key, value) for every "key value" piece of column 9, in order.
// Pieces are separated by ';' and trimmed; a piece without white space
// (a bare key, or GFF3 key=value) is skipped; the value is trimmed and
// loses every '"' at either end.
template <class Visit>
void parse_attributes(std::string_view column, Visit&& visit) {
    std::size_t pos = 0;
    while (pos <= column.size()) {
        std::size_t semi = column.find(';', pos);
        if (semi == std::string_view::npos) semi = column.size();
        const std::string_view piece = trim_space(column.substr(pos, semi - pos));
        pos = semi + 1;
        if (piece.empty()) continue;
        std::size_t split = 0;
        std::size_t space = 0;
        while (split < piece.size() && (space = space_length_at(piece, split)) == 0) ++split;
        if (space == 0) continue;
        std::string_view value = trim_space(piece.substr(split + space));
        while (!value.empty() && value.front() == '"') value.remove_prefix(1);
        while (!value.empty() && value.back() == '"') value.remove_suffix(1);
        visit(piece.substr(0, split), value);
    }
}

using GtfFields = std::array<std::string_view, 9>;

// The bases an exon line covers, 0-based: [start - 1, end). A transcript
// line's columns are checked alike; its block covers nothing.
Result<Block> feature_bases(const GtfFields& fields, bool exon, std::string_view shown, std::size_t number) {
    auto start = parse_int64(fields[3]);
    if (!start) return fail(Error(fmt::format("bad start at {}:{}", shown, number)).caused_by(start.error()));
    auto end = parse_int64(fields[4]);
    if (!end) return fail(Error(fmt::format("bad end at {}:{}", shown, number)).caused_by(end.error()));
    if (!exon) return Block{};
    // The 1-based start must have a 0-based form.
    if (*start == INT64_MIN) {
        return fail(Error(fmt::format("bad start at {}:{}", shown, number))
                        .caused_by(Error("number too small to fit in target type")));
    }
    return Block{*start - 1, *end};
}

// Adds a transcript or exon line to the transcript its transcript_id
// names; a line without one is skipped.
void add_feature(const GtfFields& fields, bool exon, Block bases, std::size_t group, TranscriptTable& table) {
    std::string_view transcript_id, transcript_name, gene_name;
    bool has_id = false, has_transcript_name = false, has_gene_name = false;
    parse_attributes(fields[8], [&](std::string_view key, std::string_view value) {
        if (key == "transcript_id") {
            transcript_id = value;
            has_id = true;
        } else if (key == "transcript_name") {
            transcript_name = value;
            has_transcript_name = true;
        } else if (key == "gene_name") {
            gene_name = value;
            has_gene_name = true;
        }
    });
    if (!has_id) return;

    Region& region = table.slot(transcript_id);
    // Only the first line of a transcript sets its fields.
    if (region.chrom.empty()) {
        region.chrom = fields[0];
        region.name = has_transcript_name ? transcript_name : has_gene_name ? gene_name : transcript_id;
        region.strand = parse_strand(fields[6]);
        region.score = '0';  // a char: g++ 12 warns falsely of overlap for the literal
        region.group = group;
    }
    if (exon) region.blocks.push_back(bases);
}

Status read_gtf_file(const std::string& path, RegionSet& set) {
    const std::string shown = to_utf8_lossy(path);
    const LineErrors errors{fmt::format("opening GTF {}", shown), fmt::format("reading {}", shown)};
    TranscriptTable table;
    GtfFields fields;
    auto status = for_each_line(path, errors, [&](std::string_view line, std::size_t number) -> Status {
        if (line.empty()) return {};
        if (line[0] == '#') {
            // Group line; "#!" lines are genome build headers, not groups.
            const std::string_view name = trim_space(line.substr(1));
            if (name.empty() || name[0] == '!') return {};
            table.flush(set.regions);
            set.groups.emplace_back(name);
            return {};
        }
        if (split_tabs(line, fields) < 9) return {};
        const bool exon = equals_ignore_case(fields[2], "exon");
        if (!exon && !equals_ignore_case(fields[2], "transcript")) return {};
        auto bases = feature_bases(fields, exon, shown, number);
        if (!bases) return fail(std::move(bases.error()));
        add_feature(fields, exon, *bases, set.groups.size() - 1, table);
        return {};
    });
    if (!status) return status;
    table.flush(set.regions);
    return {};
}

}  // namespace

Status read_gtf_regions(const std::vector<std::string>& paths, RegionSet& set) {
    for (const std::string& path : paths) {
        set.groups.push_back(file_group_name(path, paths.size()));
        auto status = read_gtf_file(path, set);
        if (!status) return status;
    }
    return {};
}

}  // namespace binscope
