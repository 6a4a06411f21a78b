// chrom_tree.cpp - the chromosome B+ tree walk, bounded against hostile trees.
#include "bigwig/chrom_tree.hpp"

#include <algorithm>
#include <array>
#include <string_view>
#include <unordered_set>

#include "bigwig/byte_cursor.hpp"
#include "bigwig/file_errors.hpp"
#include "bigwig/tree_node.hpp"
#include "utf8.hpp"

namespace binscope::bigwig {

namespace {

constexpr std::uint32_t kChromTreeMagic = 0x78CA8C91;
constexpr std::uint64_t kHeaderSize = 32;
// Room reserved up front at most, whatever itemCount claims.
constexpr std::uint64_t kMaxReserve = 1 << 16;

struct TreeHeader {
    std::uint32_t key_size = 0;
    std::uint64_t item_count = 0;
};

Result<TreeHeader> read_tree_header(ByteSource& source, ByteOrder order, std::uint64_t tree_offset) {
    std::array<std::uint8_t, kHeaderSize> head{};
    if (auto r = source.read_at(tree_offset, head); !r) return fail(std::move(r.error()));
    ByteCursor c(head, order);
    std::uint32_t magic = 0, block_size = 0, val_size = 0;
    TreeHeader header;
    c.u32(magic);
    c.u32(block_size);
    c.u32(header.key_size);
    c.u32(val_size);
    c.u64(header.item_count);
    if (magic != kChromTreeMagic || val_size != 8) return fail(invalid_chroms());
    return header;
}

// Appends the count leaf items at c to chroms; false at a name that is not
// UTF-8.
bool read_leaves(ByteCursor& c, std::uint16_t count, std::uint32_t key_size, std::vector<ChromInfo>& chroms) {
    for (std::uint16_t i = 0; i < count; ++i) {
        std::span<const std::uint8_t> key;
        std::uint32_t id = 0, size = 0;
        c.take(key_size, key);
        c.u32(id);
        c.u32(size);
        std::string_view name(reinterpret_cast<const char*>(key.data()), key.size());
        if (!is_valid_utf8(name)) return false;
        std::size_t first = name.find_first_not_of('\0');
        name = first == std::string_view::npos ? std::string_view{} : name.substr(first);
        name = name.substr(0, name.find_last_not_of('\0') + 1);
        chroms.push_back(ChromInfo{std::string(name), size, id});
    }
    return true;
}

// Pushes the children of the count inner items at c onto pending, the last
// first, so that the first child is walked next.
void push_children(ByteCursor& c, std::uint16_t count, std::uint32_t key_size, std::vector<std::uint64_t>& pending) {
    const std::size_t top = pending.size() + count;
    pending.resize(top);
    for (std::uint16_t i = 0; i < count; ++i) {
        c.skip(key_size);
        c.u64(pending[top - 1 - i]);
    }
}

}  // namespace

Result<std::vector<ChromInfo>> read_chrom_tree(ByteSource& source, ByteOrder order, std::uint64_t tree_offset) {
    auto header = read_tree_header(source, order, tree_offset);
    if (!header) return fail(std::move(header.error()));
    const std::uint64_t item_size = std::uint64_t{header->key_size} + 8;
    std::vector<ChromInfo> chroms;
    // Each leaf item takes item_size bytes of the file, so the file's size
    // bounds the real count no matter what itemCount says.
    chroms.reserve(std::min({header->item_count, source.size() / item_size, kMaxReserve}));

    // Node bytes a well-formed tree can hold: its nodes are disjoint parts of
    // the file.
    std::uint64_t budget = source.size();
    std::vector<std::uint64_t> pending{tree_offset + kHeaderSize};
    std::unordered_set<std::uint64_t> visited;
    std::vector<std::uint8_t> items;
    while (!pending.empty()) {
        std::uint64_t offset = pending.back();
        pending.pop_back();
        if (!visited.insert(offset).second) return fail(invalid_chroms());

        auto node = read_node_head(source, order, offset);
        if (!node) return fail(invalid_chroms());
        const std::uint64_t length = node->count * item_size;
        if (!source.holds(offset + 4, length) || length + 4 > budget) return fail(invalid_chroms());
        budget -= length + 4;
        items.resize(length);
        if (!source.read_at(offset + 4, items)) return fail(invalid_chroms());

        ByteCursor c(items, order);
        if (node->is_leaf != 1) {
            push_children(c, node->count, header->key_size, pending);
        } else if (!read_leaves(c, node->count, header->key_size, chroms)) {
            return fail(invalid_chroms());
        }
    }
    return chroms;
}

}  // namespace binscope::bigwig
