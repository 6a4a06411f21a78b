// bigwig_writer.cpp - lays out and serialises the test bigWig files.
#include "support/bigwig_writer.hpp"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <utility>

#include "support/test_files.hpp"

namespace binscope::testing {

BigWigSection bedgraph_section(std::string chrom, std::vector<BedGraphItem> items) {
    return {.chrom = std::move(chrom), .type = SectionType::BedGraph, .bedgraph = std::move(items)};
}

BigWigSection variablestep_section(std::string chrom, std::uint32_t span, std::vector<VariableStepItem> items) {
    return {.chrom = std::move(chrom), .type = SectionType::VariableStep, .span = span, .variable = std::move(items)};
}

BigWigSection fixedstep_section(std::string chrom, std::uint32_t start, std::uint32_t step, std::uint32_t span,
                                std::vector<float> values) {
    return {.chrom = std::move(chrom), .type = SectionType::FixedStep, .start = start, .step = step, .span = span,
            .fixed = std::move(values)};
}

namespace {

constexpr std::uint32_t kBigWigMagic = 0x888FFC26;
constexpr std::uint32_t kBigBedMagic = 0x8789F2EB;
constexpr std::uint32_t kChromTreeMagic = 0x78CA8C91;
constexpr std::uint32_t kIndexMagic = 0x2468ACE0;

// Appends numbers in the file's byte order and patches them later.
class Sink {
public:
    explicit Sink(bool big_endian) : big_(big_endian) {}

    std::uint64_t pos() const { return bytes.size(); }
    void put(std::uint64_t v, int width) {
        bytes.append(static_cast<std::size_t>(width), '\0');
        patch(pos() - static_cast<std::uint64_t>(width), v, width);
    }
    void u8(std::uint8_t v) { put(v, 1); }
    void u16(std::uint16_t v) { put(v, 2); }
    void u32(std::uint32_t v) { put(v, 4); }
    void u64(std::uint64_t v) { put(v, 8); }
    void f32(float v) { put(std::bit_cast<std::uint32_t>(v), 4); }
    void patch(std::uint64_t at, std::uint64_t v, int width) {
        for (int i = 0; i < width; ++i)
            bytes[at + static_cast<std::uint64_t>(i)] = static_cast<char>(v >> (big_ ? 8 * (width - 1 - i) : 8 * i));
    }

    std::string bytes;

private:
    bool big_;
};

// The nodes of a bulk-loaded tree, root level first. Each node covers a
// range of leaf items [lo, hi) and, above the leaves, a range of nodes of
// the level below.
struct TreeNode {
    std::size_t lo = 0, hi = 0;       // leaf items under this node
    std::size_t first = 0, last = 0;  // children in the level below (non-leaf)
    std::uint64_t offset = 0;
};
using TreeLevels = std::vector<std::vector<TreeNode>>;  // [0] is the root level

// The tree of `item_count` leaf items, `chain_length` one-child nodes above
// its root, every node placed from `base` on, root level first.
TreeLevels build_levels(std::size_t item_count, std::uint32_t fanout, std::uint32_t chain_length, std::uint64_t base,
                        std::uint64_t leaf_item, std::uint64_t inner_item) {
    if (fanout < 2) throw std::invalid_argument("tree fan-out must be at least 2");
    TreeLevels levels(1);
    for (std::size_t i = 0; i < item_count || i == 0; i += fanout)
        levels[0].push_back({.lo = i, .hi = std::min(item_count, i + fanout)});
    while (levels.back().size() > 1) {
        const auto& below = levels.back();
        std::vector<TreeNode> level;
        for (std::size_t i = 0; i < below.size(); i += fanout) {
            const std::size_t last = std::min(below.size(), i + fanout);
            level.push_back({.lo = below[i].lo, .hi = below[last - 1].hi, .first = i, .last = last});
        }
        levels.push_back(std::move(level));
    }
    levels.insert(levels.end(), chain_length, {{.hi = item_count, .last = 1}});
    std::ranges::reverse(levels);
    for (std::size_t l = 0; l < levels.size(); ++l)
        for (auto& n : levels[l]) {
            n.offset = base;
            base += 4 + (l + 1 == levels.size() ? (n.hi - n.lo) * leaf_item : (n.last - n.first) * inner_item);
        }
    return levels;
}

// Writes the nodes level by level: a leaf's items by leaf_item(index), an
// inner node's by inner_prefix(child) and then the child's offset.
template <class LeafItem, class InnerPrefix>
void write_levels(Sink& out, const TreeLevels& levels, LeafItem leaf_item, InnerPrefix inner_prefix) {
    for (std::size_t l = 0; l < levels.size(); ++l) {
        const bool leaf = l + 1 == levels.size();
        for (const TreeNode& n : levels[l]) {
            out.u8(leaf ? 1 : 0);
            out.u8(0);
            out.u16(static_cast<std::uint16_t>(leaf ? n.hi - n.lo : n.last - n.first));
            for (std::size_t i = n.lo; leaf && i < n.hi; ++i) leaf_item(i);
            for (std::size_t c = n.first; !leaf && c < n.last; ++c) {
                inner_prefix(levels[l + 1][c]);
                out.u64(levels[l + 1][c].offset);
            }
        }
    }
}

struct Block {
    std::uint32_t chrom_id = 0;
    std::uint32_t start = 0;  // lowest base of any run (for the index)
    std::uint32_t end = 0;    // highest end of any run (for the index)
    std::string data{};       // section header and records, uncompressed
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

std::uint32_t clamp_u32(std::uint64_t v) { return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 0xFFFFFFFFu)); }

// The data block of records [first, first + n) of a section.
Block make_block(const BigWigSection& s, std::uint32_t id, std::size_t first, std::size_t n, bool big_endian) {
    Sink records(big_endian);
    std::uint64_t lo = ~std::uint64_t{0}, hi = 0, section_start = 0;
    const bool bed = s.type == SectionType::BedGraph, variable = s.type == SectionType::VariableStep;
    for (std::size_t i = first; i < first + n; ++i) {
        const std::uint32_t at = s.start + static_cast<std::uint32_t>(i) * s.step;  // fixedStep
        const std::uint64_t rs = bed ? s.bedgraph[i].start : variable ? s.variable[i].start : at;
        const std::uint64_t re = bed ? s.bedgraph[i].end : rs + s.span;
        if (bed || variable) records.u32(static_cast<std::uint32_t>(rs));
        if (bed) records.u32(s.bedgraph[i].end);
        records.f32(bed ? s.bedgraph[i].value : variable ? s.variable[i].value : s.fixed[i]);
        if (i == first) section_start = rs;
        lo = std::min(lo, rs);
        hi = std::max({hi, re, rs});
    }
    Block b{.chrom_id = id, .start = clamp_u32(lo), .end = clamp_u32(hi)};
    Sink head(big_endian);
    for (std::uint32_t v : {id, static_cast<std::uint32_t>(section_start), b.end,
                            s.type == SectionType::FixedStep ? s.step : 0u, s.type == SectionType::BedGraph ? 0u : s.span})
        head.u32(v);
    head.u8(static_cast<std::uint8_t>(s.type));
    head.u8(0);
    head.u16(static_cast<std::uint16_t>(n));
    b.data = head.bytes + records.bytes;
    return b;
}

std::vector<Block> make_blocks(const std::vector<BigWigChrom>& chroms, const std::vector<BigWigSection>& sections,
                               const BigWigOptions& o) {
    if (o.items_per_block == 0) throw std::invalid_argument("items_per_block must be positive");
    std::vector<Block> blocks;
    for (const auto& s : sections) {
        auto it = std::find_if(chroms.begin(), chroms.end(), [&](const BigWigChrom& c) { return c.name == s.chrom; });
        if (it == chroms.end()) throw std::invalid_argument("section on unknown chromosome " + s.chrom);
        const std::size_t total = s.type == SectionType::BedGraph       ? s.bedgraph.size()
                                  : s.type == SectionType::VariableStep ? s.variable.size()
                                                                        : s.fixed.size();
        for (std::size_t first = 0; first < total; first += o.items_per_block) {
            const std::size_t n = std::min<std::size_t>(o.items_per_block, total - first);
            if (n > 0xFFFF) throw std::invalid_argument("more than 65535 items in one block");
            blocks.push_back(make_block(s, static_cast<std::uint32_t>(it - chroms.begin()), first, n, o.big_endian));
        }
    }
    return blocks;
}

// Damages the first block's section as the breakage asks.
void break_first_block(std::vector<Block>& blocks, const BigWigOptions& o) {
    const BigWigBreak brk = o.breakage;
    const bool needs_block = brk == BigWigBreak::BlockHugeSize || brk == BigWigBreak::BlockOffsetPastEnd ||
                             brk == BigWigBreak::BlockNotZlib || brk == BigWigBreak::SectionShort ||
                             brk == BigWigBreak::RecordsPastBlockEnd || brk == BigWigBreak::UnknownSectionType ||
                             brk == BigWigBreak::BlockListedTwice;
    if (needs_block && blocks.empty()) throw std::invalid_argument("this breakage needs a data block");
    if (blocks.empty()) return;
    std::string& data = blocks.front().data;
    if (brk == BigWigBreak::SectionShort) data.resize(10);
    if (brk == BigWigBreak::UnknownSectionType) data[20] = 9;
    if (brk == BigWigBreak::RecordsPastBlockEnd) {
        const auto n = static_cast<std::uint32_t>(data.size() - 24) / (data[20] == 1 ? 12u : data[20] == 2 ? 8u : 4u);
        Sink fix(o.big_endian);
        fix.bytes = std::move(data);
        fix.patch(22, std::min<std::uint32_t>(n + 1000, 0xFFFF), 2);
        data = std::move(fix.bytes);
    }
}

std::string zlib_compress(const std::string& data) {
    uLongf len = compressBound(static_cast<uLong>(data.size()));
    std::string out(len, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &len, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), 6) != Z_OK)
        throw std::runtime_error("zlib compression failed");
    out.resize(len);
    return out;
}

// The chromosome B+ tree at the end of `out`.
void write_chrom_tree(Sink& out, const std::vector<BigWigChrom>& chroms, std::uint32_t key_size,
                      const BigWigOptions& o) {
    const BigWigBreak brk = o.breakage;
    const std::uint64_t root = out.pos() + 32;
    const std::uint32_t chain = brk == BigWigBreak::ChromTreeLongChain ? o.chain_length : 0;
    const TreeLevels tree = build_levels(chroms.size(), o.chrom_tree_fanout, chain, root, key_size + 8, key_size + 8);
    if (brk == BigWigBreak::ChromTreeCycle && tree.size() < 2)
        throw std::invalid_argument("a chromosome tree cycle needs a multi-level tree");
    out.u32(brk == BigWigBreak::ChromTreeMagic ? 0x12345678u : kChromTreeMagic);
    out.u32(o.chrom_tree_fanout);
    out.u32(brk == BigWigBreak::ChromTreeHugeKeySize ? 0xFFFFFFF0u : key_size);
    out.u32(brk == BigWigBreak::ChromTreeValSize ? 4u : 8u);
    out.u64(brk == BigWigBreak::ChromTreeHugeItemCount ? (std::uint64_t{1} << 62) : chroms.size());
    out.u64(0);
    auto key = [&](std::size_t i) {
        std::string k = i < chroms.size() ? chroms[i].name : std::string();
        k.resize(key_size, '\0');
        out.bytes += k;
    };
    write_levels(
        out, tree,
        [&](std::size_t i) {
            key(i);
            out.u32(static_cast<std::uint32_t>(i));
            out.u32(chroms[i].length);
        },
        [&](const TreeNode& child) { key(child.lo); });
    if (brk == BigWigBreak::ChromNodeHugeCount) out.patch(root + 2, 0xFFFF, 2);
    if (brk == BigWigBreak::ChromTreeCycle) out.patch(root + 4 + key_size, root, 8);
}

// The data blocks after their count; gives every block its offset and size.
void write_blocks(Sink& out, std::vector<Block>& blocks, const BigWigOptions& o) {
    out.u64(blocks.size());
    for (auto& b : blocks) {
        std::string stored = o.compress ? zlib_compress(b.data) : b.data;
        if (o.breakage == BigWigBreak::BlockNotZlib && &b == &blocks.front()) std::ranges::fill(stored, '\xFF');
        b.offset = out.pos();
        b.size = stored.size();
        out.bytes += stored;
    }
}

// The R-tree index of the blocks at the end of `out`.
void write_rtree(Sink& out, const std::vector<Block>& blocks, const BigWigOptions& o) {
    const BigWigBreak brk = o.breakage;
    const std::uint64_t data_end = out.pos(), root = out.pos() + 48;
    // The blocks in leaf order: every block once, or the first one again at the end.
    std::vector<std::size_t> listed(blocks.size());
    std::iota(listed.begin(), listed.end(), std::size_t{0});
    if (brk == BigWigBreak::BlockListedTwice) listed.push_back(0);
    const std::uint32_t chain = brk == BigWigBreak::RTreeLongChain ? o.chain_length : 0;
    const TreeLevels tree = build_levels(listed.size(), o.rtree_fanout, chain, root, 32, 24);
    if (brk == BigWigBreak::RTreeCycle && tree.size() < 2)
        throw std::invalid_argument("an R-tree cycle needs a multi-level R-tree");
    // First chromosome and base, last chromosome and base of listed[lo, hi).
    using Span = std::array<std::uint32_t, 4>;
    auto span = [&](std::size_t lo, std::size_t hi) {
        Span r{};
        for (std::size_t i = lo; i < hi; ++i) {
            const Block& b = blocks[listed[i]];
            if (i == lo || std::pair(b.chrom_id, b.start) < std::pair(r[0], r[1])) r[0] = b.chrom_id, r[1] = b.start;
            if (i == lo || std::pair(b.chrom_id, b.end) > std::pair(r[2], r[3])) r[2] = b.chrom_id, r[3] = b.end;
        }
        return r;
    };
    auto put = [&](const Span& r) {
        for (std::uint32_t v : r) out.u32(v);
    };
    const Span whole = span(0, listed.size());
    out.u32(brk == BigWigBreak::IndexMagic ? 0x12345678u : kIndexMagic);
    out.u32(o.rtree_fanout);
    out.u64(blocks.size());
    put(whole);
    out.u64(data_end);
    out.u32(o.items_per_block);
    out.u32(0);
    write_levels(
        out, tree,
        [&](std::size_t i) {
            const Block& b = blocks[listed[i]];
            std::uint64_t offset = b.offset, size = b.size;
            if (i == 0 && brk == BigWigBreak::BlockHugeSize) size = std::uint64_t{1} << 62;
            if (i == 0 && brk == BigWigBreak::BlockOffsetPastEnd) offset = std::uint64_t{1} << 40;
            if (brk == BigWigBreak::BlocksOverlap) size = data_end - offset;
            put({b.chrom_id, b.start, b.chrom_id, b.end});
            out.u64(offset);
            out.u64(size);
        },
        [&](const TreeNode& child) { put(span(child.lo, child.hi)); });
    if (brk == BigWigBreak::RTreeNodeHugeCount) out.patch(root + 2, 0xFFFF, 2);
    if (brk == BigWigBreak::RTreeBadIsLeaf) out.patch(root, 7, 1);
    if (brk == BigWigBreak::RTreeCycle) out.patch(root + 4 + 16, root, 8);
}

}  // namespace

std::string bigwig_bytes(const std::vector<BigWigChrom>& chroms, const std::vector<BigWigSection>& sections,
                         const BigWigOptions& o) {
    const BigWigBreak brk = o.breakage;
    std::vector<Block> blocks = make_blocks(chroms, sections, o);
    break_first_block(blocks, o);
    std::uint32_t key_size = o.key_size;
    for (const auto& c : chroms) {
        if (o.key_size == 0) key_size = std::max<std::uint32_t>(key_size, static_cast<std::uint32_t>(c.name.size()));
        if (c.name.size() > key_size) throw std::invalid_argument("chromosome name longer than key_size");
    }
    key_size = std::max<std::uint32_t>(key_size, 1);

    Sink out(o.big_endian);
    out.bytes.resize(64);  // the header, patched at the end
    for (std::uint16_t z = 0; z < o.zoom_levels; ++z) {
        out.u32(2u << z);
        out.bytes.append(20, '\0');  // reserved, and no data or index of its own
    }
    const std::uint64_t chrom_tree_offset = out.pos();
    write_chrom_tree(out, chroms, key_size, o);
    const std::uint64_t data_offset = out.pos();
    write_blocks(out, blocks, o);
    const std::uint64_t index_offset = out.pos();
    write_rtree(out, blocks, o);

    std::uint32_t magic = o.bigbed_magic ? kBigBedMagic : kBigWigMagic;
    if (brk == BigWigBreak::BadMagic) magic = 0x12345678;
    std::size_t max_raw = 0;
    for (const auto& b : blocks) max_raw = std::max(max_raw, b.data.size());
    std::uint32_t ubs = o.compress ? static_cast<std::uint32_t>(max_raw) : 0;
    if (brk == BigWigBreak::UncompressBufTooSmall) ubs = 16;
    if (brk == BigWigBreak::HugeUncompressBufSize) ubs = 0xFFFFFFFF;
    // Position, value and width of the header fields (version 4).
    const std::uint64_t header[][3] = {{0, magic, 4},           {4, 4, 2},           {6, o.zoom_levels, 2},
                                       {8, chrom_tree_offset, 8}, {16, data_offset, 8}, {24, index_offset, 8},
                                       {52, ubs, 4}};
    for (const auto& [at, value, width] : header) out.patch(at, value, static_cast<int>(width));
    if (brk == BigWigBreak::Truncate) out.bytes.resize(index_offset + 20);
    return std::move(out.bytes);
}

namespace {

std::uint32_t pick(std::mt19937& rng, std::uint32_t n) { return static_cast<std::uint32_t>(rng() % n); }

float random_value(std::mt19937& rng) {
    switch (pick(rng, 12)) {
        case 0: return -0.0f;
        case 1: return 0.0f;
        case 2: return std::numeric_limits<float>::quiet_NaN();
        default:
            return std::ldexp(static_cast<float>(static_cast<int>(pick(rng, 20001)) - 10000),
                              -static_cast<int>(pick(rng, 30)));
    }
}

}  // namespace

BigWigSection random_section(const std::string& chrom, std::uint32_t length, bool disorder, std::mt19937& rng) {
    const std::uint32_t type = pick(rng, 3), span = pick(rng, 13);
    std::vector<BedGraphItem> items;
    for (std::uint32_t at = pick(rng, 40); at + span < length;) {
        const std::uint32_t run = type == 0 ? 1 + pick(rng, pick(rng, 4) == 0 ? 300 : 8) : span;
        items.push_back({at, std::min(length, at + run), random_value(rng)});
        at += std::max(run, 1u) + (pick(rng, 3) == 0 ? pick(rng, 50) : 0);
    }
    if (disorder)
        for (std::size_t k = 0; k < items.size() / 10; ++k) {
            BedGraphItem extra = items[pick(rng, static_cast<std::uint32_t>(items.size()))];
            extra.start -= std::min(extra.start, pick(rng, 30));
            extra.value = random_value(rng);
            items.insert(items.begin() + pick(rng, static_cast<std::uint32_t>(items.size())), extra);
        }
    if (type == 0) return bedgraph_section(chrom, items);
    std::vector<VariableStepItem> variable;
    for (const BedGraphItem& i : items) variable.push_back({i.start, i.value});
    if (type == 1) return variablestep_section(chrom, span, variable);
    // Out of order, fixedStep records overlap: a step shorter than the span.
    std::vector<float> fixed;
    for (const BedGraphItem& i : items) fixed.push_back(i.value);
    const std::uint32_t step = disorder ? 1 + pick(rng, span + 1) : std::max(1u, span + pick(rng, 3));
    return fixedstep_section(chrom, items.empty() ? 0 : items[0].start, step, span, fixed);
}

void apply_section(const BigWigSection& section, std::vector<float>& bases) {
    auto paint = [&](std::uint64_t from, std::uint64_t to, float value) {
        for (std::uint64_t p = from; p < to && p < bases.size(); ++p) bases[p] = value;
    };
    for (const BedGraphItem& i : section.bedgraph) paint(i.start, i.end, i.value);
    for (const VariableStepItem& i : section.variable) paint(i.start, std::uint64_t{i.start} + section.span, i.value);
    for (std::size_t i = 0; i < section.fixed.size(); ++i) {
        const std::uint64_t at = section.start + std::uint64_t{section.step} * i;
        paint(at, at + section.span, section.fixed[i]);
    }
}

void write_bigwig(const std::filesystem::path& path, const std::vector<BigWigChrom>& chroms,
                  const std::vector<BigWigSection>& sections, const BigWigOptions& options) {
    write_file(path, bigwig_bytes(chroms, sections, options));
}

}  // namespace binscope::testing
