// bed_reader.cpp - region files to a RegionSet: input kind, group names and
// the BED reader (the GTF reader is in gtf_reader.cpp).
#include "bed_reader.hpp"

#include <algorithm>
#include <array>
#include <fmt/format.h>

#include "text_input.hpp"
#include "text_input_path.hpp"
#include "text_util.hpp"
#include "utf8.hpp"

namespace binscope {

Strand parse_strand(std::string_view column) {
    if (column.empty()) return U'.';
    if (column[0] == '+') return U'+';
    if (column[0] == '-') return U'-';
    return U'.';
}

bool is_gtf_path(std::string_view path) {
    const auto name = path_file_name(path);
    if (!name) return false;
    const auto ext = file_extension(without_gz_suffix(*name));
    if (!ext || ext->size() > 4 || !is_valid_utf8(*ext)) return false;
    const std::string lower = ascii_lower(*ext);
    return lower == "gtf" || lower == "gff" || lower == "gff3";
}

std::string file_group_name(std::string_view path, std::size_t file_count) {
    if (file_count == 1) return "genes";
    const auto name = path_file_name(path);
    if (!name) return "group";
    const std::string_view stem = file_stem(without_gz_suffix(*name));
    if (!is_valid_utf8(stem)) return "group";
    return std::string(stem);
}

Status add_group(std::vector<Group>& groups, std::string_view name) {
    if (groups.size() >= kMaxGroups) return fail(fmt::format("too many groups: at most {} are allowed", kMaxGroups));
    groups.emplace_back(name);
    return {};
}

namespace {

// A BED12 list column ("10,20,"): trailing commas dropped, one integer per
// comma-separated piece, blanks around pieces allowed.
Result<std::vector<std::int64_t>> parse_int_list(std::string_view column) {
    while (!column.empty() && column.back() == ',') column.remove_suffix(1);
    std::vector<std::int64_t> values;
    std::size_t pos = 0;
    while (true) {
        const std::size_t comma = column.find(',', pos);
        const std::string_view piece =
            column.substr(pos, comma == std::string_view::npos ? std::string_view::npos : comma - pos);
        auto value = parse_int64(trim_space(piece));
        if (!value) return fail(std::move(value.error()));
        values.push_back(*value);
        if (comma == std::string_view::npos) break;
        pos = comma + 1;
    }
    return values;
}

// The blocks of a BED12 line, relative to chromStart.
Result<BlockList> parse_bed12_blocks(std::int64_t start, std::string_view sizes_column,
                                     std::string_view starts_column) {
    auto sizes = parse_int_list(sizes_column);
    if (!sizes) return fail(std::move(sizes.error()).context("bad blockSizes"));
    auto starts = parse_int_list(starts_column);
    if (!starts) return fail(std::move(starts.error()).context("bad blockStarts"));
    if (sizes->size() != starts->size()) return fail("blockSizes/blockStarts length mismatch");
    BlockList blocks;
    for (std::size_t i = 0; i < sizes->size(); ++i) {
        Block block;
        // Wrapping coordinates would silently place the block elsewhere.
        if (__builtin_add_overflow(start, (*starts)[i], &block.start) ||
            __builtin_add_overflow(block.start, (*sizes)[i], &block.end)) {
            return fail(fmt::format("block {} lies outside the 64-bit coordinate range", i + 1));
        }
        blocks.push_back(block);
    }
    return blocks;
}

// One data line to one region, appended to regions.
Status parse_bed_line(std::string_view line, bool metagene, std::size_t group, std::vector<Region>& regions) {
    std::array<std::string_view, 12> fields;
    const std::size_t count = split_tabs(line, fields);
    if (count < 3) return fail("BED line has fewer than 3 columns");
    auto start = parse_int64(fields[1]);
    if (!start) return fail(std::move(start.error()).context("bad start"));
    auto end = parse_int64(fields[2]);
    if (!end) return fail(std::move(end.error()).context("bad end"));
    if (*start >= *end) return fail(fmt::format("BED end <= start ({} >= {})", *start, *end));

    Region region;
    region.chrom = ChromName(fields[0], regions.empty() ? ChromName() : regions.back().chrom);
    region.name = count >= 4 ? SmallText(fields[3]) : SmallText(fmt::format("{}:{}-{}", fields[0], *start, *end));
    region.score = count >= 5 ? fields[4] : std::string_view("0");
    region.strand = count >= 6 ? parse_strand(fields[5]) : U'.';
    region.group = static_cast<GroupIndex>(group);
    if (metagene && count >= 12) {
        auto blocks = parse_bed12_blocks(*start, fields[10], fields[11]);
        if (!blocks) return fail(std::move(blocks.error()));
        // An empty list cannot come out of the parser; keep the region sound anyway.
        if (blocks->empty()) blocks->push_back({*start, *end});
        region.blocks = std::move(*blocks);
    } else {
        region.blocks.push_back({*start, *end});
    }
    regions.push_back(std::move(region));
    return {};
}

// One non-empty line of a BED file: a group line, a skipped line or a region.
Status parse_bed_text_line(std::string_view line, bool metagene, RegionSet& set) {
    if (line[0] == '#') {
        // A '#' line names the group of the regions below it.
        const std::string_view name = trim_space(line.substr(1));
        return name.empty() ? Status{} : add_group(set.groups, name);
    }
    if (line.starts_with("track ") || line.starts_with("browser ")) return {};
    return parse_bed_line(line, metagene, set.groups.size() - 1, set.regions);
}

Status read_bed_file(const std::string& path, bool metagene, RegionSet& set) {
    const std::string shown = to_utf8_lossy(path);
    const LineErrors errors{fmt::format("opening BED {}", shown), fmt::format("reading {}", shown)};
    return for_each_line(path, errors, [&](std::string_view line, std::size_t number) -> Status {
        if (line.empty()) return {};
        auto parsed = parse_bed_text_line(line, metagene, set);
        if (!parsed) {
            return fail(std::move(parsed.error()).context(fmt::format("parsing {} line {}: {}", shown, number, line)));
        }
        return {};
    });
}

}  // namespace

Result<RegionSet> read_regions(const std::vector<std::string>& paths, bool metagene, std::size_t threads) {
    RegionSet set;
    const auto gtf_count = static_cast<std::size_t>(std::count_if(paths.begin(), paths.end(), is_gtf_path));
    if (gtf_count != 0 && gtf_count != paths.size()) return fail("Mixing GTF and BED inputs is not supported.");
    if (gtf_count != 0) {
        auto status = read_gtf_regions(paths, set, PartPlan{.threads = threads});
        if (!status) return fail(std::move(status.error()));
        return set;
    }
    for (const std::string& path : paths) {
        auto status = add_group(set.groups, file_group_name(path, paths.size()));
        if (status) status = read_bed_file(path, metagene, set);
        if (!status) return fail(std::move(status.error()));
    }
    return set;
}

}  // namespace binscope
