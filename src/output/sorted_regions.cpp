// sorted_regions.cpp - writes the regions in final row order as BED12
// lines with the group label as a 13th column.
#include "output/sorted_regions.hpp"

#include "labels.hpp"
#include "output/output_file.hpp"
#include "output/text_fields.hpp"

namespace binscope {

namespace {

constexpr std::string_view kHeader =
    "#chrom\tstart\tend\tname\tscore\tstrand\tthickStart\tthickEnd\titemRgb\tblockCount\tblockSizes\tblockStarts"
    "\tpeakloom_group\n";

// Differences of extreme coordinates wrap instead of overflowing.
std::int64_t difference(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b));
}

// One region's line, its label in the last column.
void append_region_line(TextBuffer& line, const Region& region, std::string_view label) {
    // Readers never give a region without blocks; such a region would
    // show as empty at 0 rather than read out of bounds.
    const std::int64_t start = region.blocks.empty() ? 0 : region.start();
    const std::int64_t end = region.blocks.empty() ? 0 : region.end();

    line.clear();
    line.append(region.chrom);
    line.append('\t');
    append_int(line, start);
    line.append('\t');
    append_int(line, end);
    line.append('\t');
    line.append(region.name);
    line.append('\t');
    line.append(region.score);
    line.append('\t');
    line.append(strand_char(region.strand));
    line.append('\t');
    append_int(line, start);
    line.append('\t');
    append_int(line, end);
    line.append("\t0\t");
    append_int(line, static_cast<std::int64_t>(region.blocks.size()));
    line.append('\t');
    append_block_list(line, region.blocks, [](const Block& b) { return difference(b.end, b.start); });
    line.append('\t');
    append_block_list(line, region.blocks, [&](const Block& b) { return difference(b.start, start); });
    line.append('\t');
    line.append(label);
    line.append('\n');
}

}  // namespace

Status write_sorted_regions(const std::string& path, const Matrix& matrix) {
    auto file = BufferedFile::create(path);
    if (!file) return fail(std::move(file.error()));

    const std::vector<std::string> labels = group_labels(matrix.row_groups(), matrix.region_set.groups);

    if (auto st = file->append(kHeader); !st) return st;

    TextBuffer line;
    std::size_t label = 0;
    for (std::size_t r = 0; r < matrix.rows(); ++r) {
        const Region& region = matrix.region(r);
        if (r > 0 && region.group != matrix.region(r - 1).group) ++label;
        append_region_line(line, region, label < labels.size() ? std::string_view(labels[label]) : "");
        if (auto st = file->append(line.view()); !st) return st;
    }
    return file->close();
}

Status write_sorted_regions(const std::string& path, const Matrix& matrix, std::span<const std::size_t> row_order,
                            std::span<const std::size_t> group_boundaries, std::span<const std::string> labels) {
    auto file = BufferedFile::create(path);
    if (!file) return fail(std::move(file.error()));
    if (auto st = file->append(kHeader); !st) return st;

    TextBuffer line;
    std::size_t group = 0;
    for (std::size_t i = 0; i < row_order.size(); ++i) {
        while (group + 1 < group_boundaries.size() && group_boundaries[group + 1] <= i) ++group;
        append_region_line(line, matrix.region(row_order[i]),
                           group < labels.size() ? std::string_view(labels[group]) : "");
        if (auto st = file->append(line.view()); !st) return st;
    }
    return file->close();
}

}  // namespace binscope
