// bigwig_blocks.cpp - a plain walk of a bigWig file's chromosome tree and
// R-tree. Every node is read with one seek, the trees' depth is capped, and
// all integers are little-endian.
#include "harness/bigwig_blocks.hpp"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <tuple>

namespace binscope::bench {

namespace {

constexpr std::uint32_t kBigWigMagic = 0x888FFC26;
constexpr std::uint32_t kChromTreeMagic = 0x78CA8C91;
constexpr std::uint32_t kRTreeMagic = 0x2468ACE0;
constexpr int kMaxDepth = 64;

class FileBytes {
public:
    explicit FileBytes(const std::string& path) : path_(path), in_(path, std::ios::binary) {
        if (!in_) fail("cannot be opened");
    }

    // `size` bytes at `offset`.
    std::vector<unsigned char> at(std::uint64_t offset, std::size_t size) {
        std::vector<unsigned char> bytes(size);
        in_.seekg(static_cast<std::streamoff>(offset));
        in_.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
        if (!in_) fail("ends early");
        return bytes;
    }

    [[noreturn]] void fail(const std::string& what) const { throw std::runtime_error(path_ + ": " + what); }

private:
    std::string path_;
    std::ifstream in_;
};

template <class T>
T le(const std::vector<unsigned char>& bytes, std::size_t at) {
    T value = 0;
    for (std::size_t i = 0; i < sizeof(T); ++i) value |= static_cast<T>(T{bytes.at(at + i)} << (8 * i));
    return value;
}

// A node's leaf flag and item count, then its items.
struct Node {
    bool leaf = false;
    std::vector<unsigned char> items;
    std::size_t count = 0;
};

Node read_node(FileBytes& file, std::uint64_t offset, std::size_t leaf_item, std::size_t inner_item) {
    const auto head = file.at(offset, 4);
    Node node{head[0] != 0, {}, le<std::uint16_t>(head, 2)};
    node.items = file.at(offset + 4, node.count * (node.leaf ? leaf_item : inner_item));
    return node;
}

void walk_chrom_tree(FileBytes& file, std::uint64_t offset, std::uint32_t key_size, int depth,
                     BigWigBlocks& out) {
    if (depth > kMaxDepth) file.fail("the chromosome tree is too deep");
    const Node node = read_node(file, offset, key_size + 8, key_size + 8);
    for (std::size_t i = 0; i < node.count; ++i) {
        const std::size_t at = i * (key_size + 8);
        if (!node.leaf) {
            walk_chrom_tree(file, le<std::uint64_t>(node.items, at + key_size), key_size, depth + 1, out);
            continue;
        }
        const char* key = reinterpret_cast<const char*>(node.items.data() + at);
        out.chrom_ids.emplace(std::string(key, strnlen(key, key_size)), le<std::uint32_t>(node.items, at + key_size));
    }
}

void walk_rtree(FileBytes& file, std::uint64_t offset, int depth, BigWigBlocks& out) {
    if (depth > kMaxDepth) file.fail("the R-tree is too deep");
    const Node node = read_node(file, offset, 32, 24);
    for (std::size_t i = 0; i < node.count; ++i) {
        if (!node.leaf) {
            walk_rtree(file, le<std::uint64_t>(node.items, i * 24 + 16), depth + 1, out);
            continue;
        }
        const std::size_t at = i * 32;
        out.blocks.push_back({le<std::uint32_t>(node.items, at), le<std::uint32_t>(node.items, at + 4),
                              le<std::uint32_t>(node.items, at + 8), le<std::uint32_t>(node.items, at + 12),
                              le<std::uint64_t>(node.items, at + 16), le<std::uint64_t>(node.items, at + 24)});
    }
}

}  // namespace

void BigWigBlocks::find(std::uint32_t chrom, std::uint32_t start, std::uint32_t end,
                        std::vector<IndexedBlock>& out) const {
    // The first block ending after the window's start, then every block
    // starting before the window's end.
    auto first = std::partition_point(blocks.begin(), blocks.end(), [&](const IndexedBlock& b) {
        return std::tie(b.end_chrom, b.end) <= std::tie(chrom, start);
    });
    for (; first != blocks.end() && std::tie(first->start_chrom, first->start) < std::tie(chrom, end); ++first)
        out.push_back(*first);
}

BigWigBlocks read_bigwig_blocks(const std::string& path) {
    FileBytes file(path);
    const auto header = file.at(0, 64);
    if (le<std::uint32_t>(header, 0) != kBigWigMagic) file.fail("not a bigWig file");
    BigWigBlocks out;
    out.uncompress_buf_size = le<std::uint32_t>(header, 52);

    const std::uint64_t chrom_tree = le<std::uint64_t>(header, 8);
    const auto chrom_head = file.at(chrom_tree, 32);
    if (le<std::uint32_t>(chrom_head, 0) != kChromTreeMagic) file.fail("bad chromosome tree");
    walk_chrom_tree(file, chrom_tree + 32, le<std::uint32_t>(chrom_head, 8), 0, out);

    const std::uint64_t index = le<std::uint64_t>(header, 24);
    if (le<std::uint32_t>(file.at(index, 48), 0) != kRTreeMagic) file.fail("bad R-tree");
    walk_rtree(file, index + 48, 0, out);
    return out;
}

}  // namespace binscope::bench
