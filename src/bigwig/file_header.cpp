// file_header.cpp - magic and byte order, fixed header, zoom headers.
#include "bigwig/file_header.hpp"

#include <algorithm>
#include <array>

#include "bigwig/byte_cursor.hpp"
#include "bigwig/chrom_tree.hpp"
#include "bigwig/file_errors.hpp"

namespace binscope::bigwig {

namespace {

constexpr std::uint32_t kBigWigMagic = 0x888FFC26;
constexpr std::uint32_t kBigBedMagic = 0x8789F2EB;
constexpr std::uint32_t kBigWigMagicSwapped = 0x26FC8F88;
constexpr std::uint32_t kBigBedMagicSwapped = 0xEBF28987;
constexpr std::uint64_t kZoomHeaderSize = 24;
// The most chromosome-tree bytes fetched ahead.
constexpr std::uint64_t kTreePrefetch = 1 << 20;

}  // namespace

Result<FileLayout> read_layout(ByteSource& source) {
    std::array<std::uint8_t, 64> head{};
    if (auto r = source.read_at(0, head); !r) return fail(std::move(r.error()));

    FileLayout layout;
    bool bigbed = false;
    std::uint32_t magic = 0;
    ByteCursor(head, ByteOrder::Big).u32(magic);
    switch (magic) {
    case kBigWigMagicSwapped: layout.order = ByteOrder::Little; break;
    case kBigWigMagic: layout.order = ByteOrder::Big; break;
    case kBigBedMagicSwapped: layout.order = ByteOrder::Little, bigbed = true; break;
    case kBigBedMagic: layout.order = ByteOrder::Big, bigbed = true; break;
    default: return fail(not_a_bigwig());
    }

    BigWigHeader& h = layout.header;
    ByteCursor c(head, layout.order);
    c.skip(4);
    c.u16(h.version);
    c.u16(h.zoom_levels);
    c.u64(h.chrom_tree_offset);
    c.u64(h.full_data_offset);
    c.u64(h.full_index_offset);
    c.u16(h.field_count);
    c.u16(h.defined_field_count);
    c.u64(h.auto_sql_offset);
    c.u64(h.total_summary_offset);
    c.u32(h.uncompress_buf_size);

    if (h.zoom_levels > 0) {
        const std::uint64_t length = h.zoom_levels * kZoomHeaderSize;
        // Read in one piece; at most 65535 * 24 bytes, and only when the file has them.
        if (!source.holds(64, length)) return fail(short_read());
        std::vector<std::uint8_t> bytes(length);
        if (auto r = source.read_at(64, bytes); !r) return fail(std::move(r.error()));
        ByteCursor zc(bytes, layout.order);
        layout.zooms.resize(h.zoom_levels);
        for (ZoomHeader& z : layout.zooms) {
            zc.u32(z.reduction_level);
            zc.u32(z.reserved);
            zc.u64(z.data_offset);
            zc.u64(z.index_offset);
        }
    }

    // Writers put the chromosome tree just before the data: one request
    // brings a remote file's whole tree.
    if (h.full_data_offset > h.chrom_tree_offset) {
        const ByteRange tree{h.chrom_tree_offset, std::min(h.full_data_offset - h.chrom_tree_offset, kTreePrefetch)};
        if (auto r = source.prefetch({&tree, 1}); !r) return fail(std::move(r.error()));
    }
    auto chroms = read_chrom_tree(source, layout.order, h.chrom_tree_offset);
    if (!chroms) return fail(std::move(chroms.error()));
    layout.chroms = std::move(*chroms);

    if (bigbed) return fail(not_a_bigwig());
    return layout;
}

}  // namespace binscope::bigwig
