// gtf_reader.cpp - GTF/GFF region files: one region per transcript, its
// exons as blocks.
#include <array>
#include <cstdint>
#include <fmt/format.h>
#include <string>

#include "bed_reader.hpp"
#include "line_parts.hpp"
#include "text_input.hpp"
#include "text_util.hpp"
#include "transcript_table.hpp"
#include "utf8.hpp"

namespace binscope {

namespace {

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
    if (!start) return fail(std::move(start.error()).context(fmt::format("bad start at {}:{}", shown, number)));
    auto end = parse_int64(fields[4]);
    if (!end) return fail(std::move(end.error()).context(fmt::format("bad end at {}:{}", shown, number)));
    if (!exon) return Block{};
    // The 1-based start must have a 0-based form.
    if (*start == INT64_MIN) {
        return fail(Error("number too small to fit in target type")
                        .context(fmt::format("bad start at {}:{}", shown, number)));
    }
    return Block{*start - 1, *end};
}

// Adds a transcript or exon line to the transcript its transcript_id
// names; a line without one is skipped. last_chrom is the chromosome name
// the part made last.
void add_feature(const GtfFields& fields, bool exon, Block bases, TranscriptTable& table, ChromName& last_chrom) {
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
    if (TranscriptTable::needs_fields(region)) {
        last_chrom = ChromName(fields[0], last_chrom);
        region.chrom = last_chrom;
        region.name = has_transcript_name ? transcript_name : has_gene_name ? gene_name : transcript_id;
        region.strand = parse_strand(fields[6]);
        region.score = "0";
    }
    if (exon) region.blocks.push_back(bases);
}

// The transcripts of a stretch of lines of a GTF file, one table per
// group section: sections[0] continues the section open where the stretch
// starts, and groups[i] is the group line that opens sections[i + 1].
struct GtfPart {
    std::vector<TranscriptTable> sections = std::vector<TranscriptTable>(1);
    std::vector<std::string> groups;
    ChromName last_chrom;  // the chromosome name made last
};

Status parse_gtf_line(std::string_view line, std::size_t number, std::string_view shown, GtfPart& part) {
    if (line.empty()) return {};
    if (line[0] == '#') {
        // Group line; "#!" lines are genome build headers, not groups.
        const std::string_view name = trim_space(line.substr(1));
        if (name.empty() || name[0] == '!') return {};
        part.groups.emplace_back(name);
        part.sections.emplace_back();
        return {};
    }
    GtfFields fields;
    if (split_tabs(line, fields) < 9) return {};
    const bool exon = equals_ignore_case(fields[2], "exon");
    if (!exon && !equals_ignore_case(fields[2], "transcript")) return {};
    auto bases = feature_bases(fields, exon, shown, number);
    if (!bases) return fail(std::move(bases.error()));
    add_feature(fields, exon, *bases, part.sections.back(), part.last_chrom);
    return {};
}

// Moves the stretches of the section that ends to regions of its group.
void flush_section(std::vector<TranscriptTable>& stretches, RegionSet& set) {
    for (TranscriptTable& stretch : stretches) stretch.flush(set.regions, set.groups.size() - 1);
    stretches.clear();
}

// Appends a part, the parts before it already in: `open` holds the
// stretches of the section still open, which the part's first one continues.
Status merge_part(GtfPart&& part, std::vector<TranscriptTable>& open, RegionSet& set) {
    for (std::size_t i = 0; i < part.sections.size(); ++i) {
        if (i > 0) {
            flush_section(open, set);
            auto added = add_group(set.groups, part.groups[i - 1]);
            if (!added) return added;
        }
        part.sections[i].join(open);
        open.push_back(std::move(part.sections[i]));
    }
    return {};
}

Status read_gtf_file(const std::string& path, const PartPlan& plan, RegionSet& set) {
    const std::string shown = to_utf8_lossy(path);
    const LineErrors errors{fmt::format("opening GTF {}", shown), fmt::format("reading {}", shown)};
    auto parts = parse_in_parts<GtfPart>(path, errors, plan, [&](GtfPart& part, std::string_view line, std::size_t number) {
        return parse_gtf_line(line, number, shown, part);
    });
    if (!parts) return fail(std::move(parts.error()));
    std::vector<TranscriptTable> open;
    for (GtfPart& part : *parts) {
        auto merged = merge_part(std::move(part), open, set);
        if (!merged) return merged;
    }
    flush_section(open, set);
    return {};
}

}  // namespace

Status read_gtf_regions(const std::vector<std::string>& paths, RegionSet& set, const PartPlan& plan) {
    for (const std::string& path : paths) {
        auto status = add_group(set.groups, file_group_name(path, paths.size()));
        if (status) status = read_gtf_file(path, plan, set);
        if (!status) return status;
    }
    return {};
}

}  // namespace binscope
