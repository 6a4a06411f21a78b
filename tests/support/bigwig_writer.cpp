// bigwig_writer.cpp - lays out and serialises the test bigWig files.
#include "support/bigwig_writer.hpp"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace binscope::testing {

BigWigSection bedgraph_section(std::string chrom, std::vector<BedGraphItem> items) {
    BigWigSection s;
    s.chrom = std::move(chrom);
    s.type = SectionType::BedGraph;
    s.bedgraph = std::move(items);
    return s;
}

BigWigSection variablestep_section(std::string chrom, std::uint32_t span, std::vector<VariableStepItem> items) {
    BigWigSection s;
    s.chrom = std::move(chrom);
    s.type = SectionType::VariableStep;
    s.span = span;
    s.variable = std::move(items);
    return s;
}

BigWigSection fixedstep_section(std::string chrom, std::uint32_t start, std::uint32_t step, std::uint32_t span,
                                std::vector<float> values) {
    BigWigSection s;
    s.chrom = std::move(chrom);
    s.type = SectionType::FixedStep;
    s.start = start;
    s.step = step;
    s.span = span;
    s.fixed = std::move(values);
    return s;
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

    std::uint64_t pos() const { return bytes_.size(); }
    std::string& bytes() { return bytes_; }

    void u8(std::uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
    void u16(std::uint16_t v) { put(v, 2); }
    void u32(std::uint32_t v) { put(v, 4); }
    void u64(std::uint64_t v) { put(v, 8); }
    void f32(float v) { put(std::bit_cast<std::uint32_t>(v), 4); }
    void raw(const std::string& s) { bytes_ += s; }
    void zeros(std::size_t n) { bytes_.append(n, '\0'); }

    void patch_u8(std::uint64_t at, std::uint8_t v) { bytes_[at] = static_cast<char>(v); }
    void patch_u16(std::uint64_t at, std::uint16_t v) { patch(at, v, 2); }
    void patch_u32(std::uint64_t at, std::uint32_t v) { patch(at, v, 4); }
    void patch_u64(std::uint64_t at, std::uint64_t v) { patch(at, v, 8); }

private:
    void put(std::uint64_t v, int width) {
        std::size_t at = bytes_.size();
        bytes_.append(static_cast<std::size_t>(width), '\0');
        patch(at, v, width);
    }
    void patch(std::uint64_t at, std::uint64_t v, int width) {
        for (int i = 0; i < width; ++i) {
            int shift = big_ ? 8 * (width - 1 - i) : 8 * i;
            bytes_[at + static_cast<std::uint64_t>(i)] = static_cast<char>((v >> shift) & 0xFF);
        }
    }

    bool big_;
    std::string bytes_;
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

TreeLevels build_levels(std::size_t item_count, std::uint32_t fanout) {
    if (fanout < 2) throw std::invalid_argument("tree fan-out must be at least 2");
    std::vector<std::vector<TreeNode>> bottom_up;
    std::vector<TreeNode> leaves;
    for (std::size_t i = 0; i < item_count || leaves.empty(); i += fanout) {
        TreeNode n;
        n.lo = i;
        n.hi = std::min(item_count, i + fanout);
        leaves.push_back(n);
        if (item_count == 0) break;
    }
    bottom_up.push_back(std::move(leaves));
    while (bottom_up.back().size() > 1) {
        const auto& below = bottom_up.back();
        std::vector<TreeNode> level;
        for (std::size_t i = 0; i < below.size(); i += fanout) {
            TreeNode n;
            n.first = i;
            n.last = std::min(below.size(), i + fanout);
            n.lo = below[n.first].lo;
            n.hi = below[n.last - 1].hi;
            level.push_back(n);
        }
        bottom_up.push_back(std::move(level));
    }
    return {bottom_up.rbegin(), bottom_up.rend()};
}

// Gives every node its offset, root level first, starting at `base`.
std::uint64_t place_levels(TreeLevels& levels, std::uint64_t base, std::uint64_t leaf_item, std::uint64_t inner_item) {
    std::uint64_t at = base;
    for (std::size_t l = 0; l < levels.size(); ++l) {
        bool leaf = l + 1 == levels.size();
        for (auto& n : levels[l]) {
            n.offset = at;
            std::uint64_t count = leaf ? n.hi - n.lo : n.last - n.first;
            at += 4 + count * (leaf ? leaf_item : inner_item);
        }
    }
    return at;
}

struct Block {
    std::uint32_t chrom_id = 0;
    std::uint32_t start = 0;  // lowest base of any run (for the index)
    std::uint32_t end = 0;    // highest end of any run (for the index)
    std::string data;         // section header and records, uncompressed
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

std::uint32_t clamp_u32(std::uint64_t v) { return static_cast<std::uint32_t>(std::min<std::uint64_t>(v, 0xFFFFFFFFu)); }

std::vector<Block> make_blocks(const std::vector<BigWigChrom>& chroms, const std::vector<BigWigSection>& sections,
                               const BigWigOptions& o) {
    if (o.items_per_block == 0) throw std::invalid_argument("items_per_block must be positive");
    std::vector<Block> blocks;
    for (const auto& s : sections) {
        auto it = std::find_if(chroms.begin(), chroms.end(), [&](const BigWigChrom& c) { return c.name == s.chrom; });
        if (it == chroms.end()) throw std::invalid_argument("section on unknown chromosome " + s.chrom);
        auto id = static_cast<std::uint32_t>(it - chroms.begin());
        std::size_t total = s.type == SectionType::BedGraph       ? s.bedgraph.size()
                            : s.type == SectionType::VariableStep ? s.variable.size()
                                                                  : s.fixed.size();
        for (std::size_t first = 0; first < total; first += o.items_per_block) {
            std::size_t n = std::min<std::size_t>(o.items_per_block, total - first);
            if (n > 0xFFFF) throw std::invalid_argument("more than 65535 items in one block");
            Block b;
            b.chrom_id = id;
            std::uint64_t lo = ~std::uint64_t{0}, hi = 0;
            Sink records(o.big_endian);
            std::uint32_t section_start = 0;
            for (std::size_t i = first; i < first + n; ++i) {
                std::uint64_t rs = 0, re = 0;
                switch (s.type) {
                case SectionType::BedGraph:
                    rs = s.bedgraph[i].start;
                    re = s.bedgraph[i].end;
                    records.u32(s.bedgraph[i].start);
                    records.u32(s.bedgraph[i].end);
                    records.f32(s.bedgraph[i].value);
                    break;
                case SectionType::VariableStep:
                    rs = s.variable[i].start;
                    re = rs + s.span;
                    records.u32(s.variable[i].start);
                    records.f32(s.variable[i].value);
                    break;
                case SectionType::FixedStep: {
                    auto at = static_cast<std::uint32_t>(s.start + static_cast<std::uint32_t>(i) * s.step);
                    if (i == first) section_start = at;
                    rs = at;
                    re = rs + s.span;
                    records.f32(s.fixed[i]);
                    break;
                }
                }
                if (i == first && s.type != SectionType::FixedStep) section_start = static_cast<std::uint32_t>(rs);
                lo = std::min(lo, rs);
                hi = std::max({hi, re, rs});
            }
            b.start = clamp_u32(lo);
            b.end = clamp_u32(hi);
            Sink head(o.big_endian);
            head.u32(id);
            head.u32(section_start);
            head.u32(b.end);
            head.u32(s.type == SectionType::FixedStep ? s.step : 0);
            head.u32(s.type == SectionType::BedGraph ? 0 : s.span);
            head.u8(static_cast<std::uint8_t>(s.type));
            head.u8(0);
            head.u16(static_cast<std::uint16_t>(n));
            b.data = head.bytes() + records.bytes();
            blocks.push_back(std::move(b));
        }
    }
    return blocks;
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

bool needs_block(BigWigBreak b) {
    switch (b) {
    case BigWigBreak::BlockHugeSize:
    case BigWigBreak::BlockOffsetPastEnd:
    case BigWigBreak::BlockNotZlib:
    case BigWigBreak::SectionShort:
    case BigWigBreak::RecordsPastBlockEnd:
    case BigWigBreak::UnknownSectionType: return true;
    default: return false;
    }
}

// Writes `chain_length` one-item non-leaf nodes at the sink's position, each
// pointing at the next and the last at `target`. `item` writes an item's
// bytes before its child offset.
template <class ItemPrefix>
void write_chain(Sink& out, std::uint32_t chain_length, std::uint64_t item_size, std::uint64_t target,
                 ItemPrefix item) {
    std::uint64_t base = out.pos();
    for (std::uint32_t i = 0; i < chain_length; ++i) {
        out.u8(0);
        out.u8(0);
        out.u16(1);
        item();
        std::uint64_t next = base + static_cast<std::uint64_t>(i + 1) * (4 + item_size);
        out.u64(i + 1 == chain_length ? target : next);
    }
}

}  // namespace

std::string bigwig_bytes(const std::vector<BigWigChrom>& chroms, const std::vector<BigWigSection>& sections,
                         const BigWigOptions& o) {
    const BigWigBreak brk = o.breakage;
    const bool chain_chroms = brk == BigWigBreak::ChromTreeLongChain;
    const bool chain_rtree = brk == BigWigBreak::RTreeLongChain;
    Sink out(o.big_endian);

    std::vector<Block> blocks = make_blocks(chroms, sections, o);
    if (needs_block(brk) && blocks.empty()) throw std::invalid_argument("this breakage needs a data block");
    if (!blocks.empty()) {
        Block& b0 = blocks.front();
        if (brk == BigWigBreak::SectionShort) b0.data.resize(10);
        if (brk == BigWigBreak::UnknownSectionType) b0.data[20] = 9;
        if (brk == BigWigBreak::RecordsPastBlockEnd) {
            Sink fix(o.big_endian);
            fix.bytes() = b0.data;
            std::uint32_t n = static_cast<std::uint32_t>(b0.data.size() - 24) / (b0.data[20] == 1   ? 12u
                                                                                 : b0.data[20] == 2 ? 8u
                                                                                                    : 4u);
            fix.patch_u16(22, static_cast<std::uint16_t>(std::min<std::uint32_t>(n + 1000, 0xFFFF)));
            b0.data = fix.bytes();
        }
    }
    std::size_t max_raw = 0;
    for (const auto& b : blocks) max_raw = std::max(max_raw, b.data.size());

    std::uint32_t key_size = o.key_size;
    if (key_size == 0) {
        key_size = 1;
        for (const auto& c : chroms)
            key_size = std::max<std::uint32_t>(key_size, static_cast<std::uint32_t>(c.name.size()));
    }
    for (const auto& c : chroms)
        if (c.name.size() > key_size) throw std::invalid_argument("chromosome name longer than key_size");

    // Header, patched at the end.
    out.zeros(64);
    for (std::uint16_t z = 0; z < o.zoom_levels; ++z) {
        out.u32(2u << z);
        out.u32(0);
        out.u64(0);
        out.u64(0);
    }

    // Chromosome B+ tree.
    const std::uint64_t chrom_tree_offset = out.pos();
    TreeLevels ctree = build_levels(chroms.size(), o.chrom_tree_fanout);
    if (brk == BigWigBreak::ChromTreeCycle && ctree.size() < 2)
        throw std::invalid_argument("a chromosome tree cycle needs a multi-level tree");
    const std::uint64_t citem = key_size + 8;
    const std::uint64_t chain_bytes = chain_chroms ? o.chain_length * (4 + citem) : 0;
    place_levels(ctree, chrom_tree_offset + 32 + chain_bytes, citem, citem);
    out.u32(brk == BigWigBreak::ChromTreeMagic ? 0x12345678u : kChromTreeMagic);
    out.u32(o.chrom_tree_fanout);
    out.u32(brk == BigWigBreak::ChromTreeHugeKeySize ? 0xFFFFFFF0u : key_size);
    out.u32(brk == BigWigBreak::ChromTreeValSize ? 4u : 8u);
    out.u64(brk == BigWigBreak::ChromTreeHugeItemCount ? (std::uint64_t{1} << 62) : chroms.size());
    out.u64(0);
    auto key = [&](std::size_t i) {
        std::string k = i < chroms.size() ? chroms[i].name : std::string();
        k.resize(key_size, '\0');
        return k;
    };
    if (chain_chroms) write_chain(out, o.chain_length, citem, ctree[0][0].offset, [&] { out.raw(key(0)); });
    for (std::size_t l = 0; l < ctree.size(); ++l) {
        bool leaf = l + 1 == ctree.size();
        for (const auto& n : ctree[l]) {
            out.u8(leaf ? 1 : 0);
            out.u8(0);
            out.u16(static_cast<std::uint16_t>(leaf ? n.hi - n.lo : n.last - n.first));
            if (leaf) {
                for (std::size_t i = n.lo; i < n.hi; ++i) {
                    out.raw(key(i));
                    out.u32(static_cast<std::uint32_t>(i));
                    out.u32(chroms[i].length);
                }
            } else {
                for (std::size_t c = n.first; c < n.last; ++c) {
                    const TreeNode& child = ctree[l + 1][c];
                    out.raw(key(child.lo));
                    out.u64(child.offset);
                }
            }
        }
    }
    const std::uint64_t croot = chrom_tree_offset + 32;
    if (brk == BigWigBreak::ChromNodeHugeCount) out.patch_u16(croot + 2, 0xFFFF);
    if (brk == BigWigBreak::ChromTreeCycle) out.patch_u64(croot + 4 + key_size, croot);

    // Data blocks, after a block count.
    const std::uint64_t full_data_offset = out.pos();
    out.u64(blocks.size());
    for (auto& b : blocks) {
        std::string stored = o.compress ? zlib_compress(b.data) : b.data;
        if (brk == BigWigBreak::BlockNotZlib && &b == &blocks.front()) std::fill(stored.begin(), stored.end(), '\xFF');
        b.offset = out.pos();
        b.size = stored.size();
        out.raw(stored);
    }
    const std::uint64_t data_end = out.pos();

    // R-tree index.
    const std::uint64_t index_offset = out.pos();
    // The blocks in leaf order: every block once, or the first one again at the end.
    std::vector<std::size_t> listed;
    for (std::size_t i = 0; i < blocks.size(); ++i) listed.push_back(i);
    if (brk == BigWigBreak::BlockListedTwice) listed.push_back(0);
    TreeLevels rtree = build_levels(listed.size(), o.rtree_fanout);
    if (brk == BigWigBreak::RTreeCycle && rtree.size() < 2)
        throw std::invalid_argument("an R-tree cycle needs a multi-level R-tree");
    const std::uint64_t rchain_bytes = chain_rtree ? o.chain_length * (4 + 24) : 0;
    place_levels(rtree, index_offset + 48 + rchain_bytes, 32, 24);
    std::uint32_t first_chrom = 0, first_base = 0, last_chrom = 0, last_base = 0;
    auto span = [&](std::size_t lo, std::size_t hi, std::uint32_t& sc, std::uint32_t& sb, std::uint32_t& ec,
                    std::uint32_t& eb) {
        sc = sb = ec = eb = 0;
        for (std::size_t i = lo; i < hi; ++i) {
            const Block& b = blocks[listed[i]];
            if (i == lo || std::pair(b.chrom_id, b.start) < std::pair(sc, sb)) sc = b.chrom_id, sb = b.start;
            if (i == lo || std::pair(b.chrom_id, b.end) > std::pair(ec, eb)) ec = b.chrom_id, eb = b.end;
        }
    };
    span(0, listed.size(), first_chrom, first_base, last_chrom, last_base);
    out.u32(brk == BigWigBreak::IndexMagic ? 0x12345678u : kIndexMagic);
    out.u32(o.rtree_fanout);
    out.u64(blocks.size());
    out.u32(first_chrom);
    out.u32(first_base);
    out.u32(last_chrom);
    out.u32(last_base);
    out.u64(data_end);
    out.u32(o.items_per_block);
    out.u32(0);
    if (chain_rtree)
        write_chain(out, o.chain_length, 24, rtree[0][0].offset, [&] {
            out.u32(first_chrom);
            out.u32(first_base);
            out.u32(last_chrom);
            out.u32(last_base);
        });
    for (std::size_t l = 0; l < rtree.size(); ++l) {
        bool leaf = l + 1 == rtree.size();
        for (const auto& n : rtree[l]) {
            out.u8(leaf ? 1 : 0);
            out.u8(0);
            out.u16(static_cast<std::uint16_t>(leaf ? n.hi - n.lo : n.last - n.first));
            if (leaf) {
                for (std::size_t i = n.lo; i < n.hi; ++i) {
                    const Block& b = blocks[listed[i]];
                    std::uint64_t offset = b.offset, size = b.size;
                    if (i == 0 && brk == BigWigBreak::BlockHugeSize) size = std::uint64_t{1} << 62;
                    if (i == 0 && brk == BigWigBreak::BlockOffsetPastEnd) offset = std::uint64_t{1} << 40;
                    if (brk == BigWigBreak::BlocksOverlap) size = data_end - offset;
                    out.u32(b.chrom_id);
                    out.u32(b.start);
                    out.u32(b.chrom_id);
                    out.u32(b.end);
                    out.u64(offset);
                    out.u64(size);
                }
            } else {
                for (std::size_t c = n.first; c < n.last; ++c) {
                    const TreeNode& child = rtree[l + 1][c];
                    std::uint32_t sc, sb, ec, eb;
                    span(child.lo, child.hi, sc, sb, ec, eb);
                    out.u32(sc);
                    out.u32(sb);
                    out.u32(ec);
                    out.u32(eb);
                    out.u64(child.offset);
                }
            }
        }
    }
    const std::uint64_t rroot = index_offset + 48;
    if (brk == BigWigBreak::RTreeNodeHugeCount) out.patch_u16(rroot + 2, 0xFFFF);
    if (brk == BigWigBreak::RTreeBadIsLeaf) out.patch_u8(rroot, 7);
    if (brk == BigWigBreak::RTreeCycle) out.patch_u64(rroot + 4 + 16, rroot);

    // Header.
    std::uint32_t magic = o.bigbed_magic ? kBigBedMagic : kBigWigMagic;
    if (brk == BigWigBreak::BadMagic) magic = 0x12345678;
    std::uint32_t ubs = 0;
    if (o.compress) ubs = o.uncompress_buf_size ? o.uncompress_buf_size : static_cast<std::uint32_t>(max_raw);
    if (brk == BigWigBreak::UncompressBufTooSmall) ubs = 16;
    if (brk == BigWigBreak::HugeUncompressBufSize) ubs = 0xFFFFFFFF;
    out.patch_u32(0, magic);
    out.patch_u16(4, 4);
    out.patch_u16(6, o.zoom_levels);
    out.patch_u64(8, chrom_tree_offset);
    out.patch_u64(16, full_data_offset);
    out.patch_u64(24, index_offset);
    out.patch_u16(32, 0);
    out.patch_u16(34, 0);
    out.patch_u64(36, 0);
    out.patch_u64(44, 0);
    out.patch_u32(52, ubs);

    std::string bytes = std::move(out.bytes());
    if (brk == BigWigBreak::Truncate && o.truncate_at < bytes.size()) bytes.resize(o.truncate_at);
    return bytes;
}

void write_bigwig(const std::filesystem::path& path, const std::vector<BigWigChrom>& chroms,
                  const std::vector<BigWigSection>& sections, const BigWigOptions& options) {
    std::string bytes = bigwig_bytes(chroms, sections, options);
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace binscope::testing
