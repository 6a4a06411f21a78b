// rtree_index.cpp - R-tree header, node cache and the bounded depth-first search.
#include "bigwig/rtree_index.hpp"

#include <algorithm>
#include <array>
#include <fmt/format.h>
#include <utility>

#include "bigwig/byte_cursor.hpp"
#include "bigwig/file_errors.hpp"
#include "bigwig/tree_node.hpp"

namespace binscope::bigwig {

namespace {

constexpr std::uint32_t kIndexMagic = 0x2468ACE0;
constexpr std::uint64_t kIndexHeaderSize = 48;
constexpr std::uint64_t kLeafItemSize = 32;
constexpr std::uint64_t kInnerItemSize = 24;
constexpr std::uint64_t kNodeCacheBytes = 1 << 20;
constexpr std::size_t kInitialQueue = 2048;

}  // namespace

Status RTreeIndex::load_root(ByteSource& source, std::uint64_t index_offset) {
    if (root_) return {};
    std::array<std::uint8_t, kIndexHeaderSize> head{};
    if (auto r = source.read_at(index_offset, head); !r) return fail(read_failed(std::move(r.error())));
    std::uint32_t magic = 0;
    ByteCursor(head, order_).u32(magic);
    if (magic != kIndexMagic) return fail(unknown_magic());
    root_ = index_offset + kIndexHeaderSize;
    return {};
}

Result<const RTreeIndex::Node*> RTreeIndex::node_at(ByteSource& source, std::uint64_t offset) {
    if (auto it = cache_.find(offset); it != cache_.end()) return &it->second;
    auto head = read_node_head(source, order_, offset);
    if (!head) return fail(read_failed(std::move(head.error())));
    const auto [is_leaf, count] = *head;
    if (is_leaf > 1) return fail(invalid_file(fmt::format("Unexpected isleaf: {}", is_leaf)));
    const std::uint64_t item_size = is_leaf ? kLeafItemSize : kInnerItemSize;
    const std::uint64_t length = count * item_size;
    if (!source.holds(offset + 4, length)) return fail(read_failed(short_read()));
    bytes_.resize(length);
    if (auto r = source.read_at(offset + 4, bytes_); !r) return fail(read_failed(std::move(r.error())));

    Node node;
    node.leaf = is_leaf == 1;
    node.items.resize(count);
    ByteCursor c(bytes_, order_);
    for (Item& item : node.items) {
        c.u32(item.start_chrom);
        c.u32(item.start_base);
        c.u32(item.end_chrom);
        c.u32(item.end_base);
        c.u64(item.offset);
        if (node.leaf) c.u64(item.size);
    }

    node.ordered = true;
    for (std::size_t i = 1; i < node.items.size(); ++i) {
        const Item& a = node.items[i - 1];
        const Item& b = node.items[i];
        if (std::pair(b.start_chrom, b.start_base) < std::pair(a.start_chrom, a.start_base) ||
            std::pair(b.end_chrom, b.end_base) < std::pair(a.end_chrom, a.end_base)) {
            node.ordered = false;
            break;
        }
    }

    const std::uint64_t weight = count * sizeof(Item) + 64;
    if (weight > kNodeCacheBytes) {
        uncached_ = std::move(node);
        return &uncached_;
    }
    if (cached_bytes_ + weight > kNodeCacheBytes) {
        cache_.clear();
        cached_bytes_ = 0;
    }
    cached_bytes_ += weight;
    return &cache_.emplace(offset, std::move(node)).first->second;
}

bool RTreeIndex::first_visit(std::uint64_t offset) {
    constexpr std::size_t kFew = 16;
    for (std::uint64_t seen : visited_few_)
        if (seen == offset) return false;
    if (visited_few_.size() < kFew) {
        visited_few_.push_back(offset);
        return true;
    }
    return visited_many_.insert(offset).second;
}

Status RTreeIndex::find_blocks(ByteSource& source, std::uint32_t chrom, std::uint32_t start, std::uint32_t end,
                               std::vector<DataBlock>& out) {
    if (!root_) return fail(unknown_magic());
    pending_.clear();
    if (pending_.capacity() < kInitialQueue) pending_.reserve(kInitialQueue);
    pending_.push_back(*root_);
    visited_few_.clear();
    if (!visited_many_.empty()) visited_many_.clear();
    // The nodes of a well-formed tree are disjoint parts of the file.
    std::uint64_t budget = source.size();

    const std::pair<std::uint32_t, std::uint32_t> query_start{chrom, start}, query_end{chrom, end};
    while (!pending_.empty()) {
        const std::uint64_t offset = pending_.back();
        pending_.pop_back();
        if (!first_visit(offset)) return fail(invalid_file("R-tree node reached twice"));
        auto node = node_at(source, offset);
        if (!node) return fail(std::move(node.error()));
        const Node& n = **node;
        const std::uint64_t length = 4 + n.items.size() * (n.leaf ? kLeafItemSize : kInnerItemSize);
        if (length > budget) return fail(invalid_file("R-tree larger than the file"));
        budget -= length;

        children_.clear();
        // In an ordered node the items ending before the query come first
        // and those starting after it last; the rest all overlap it.
        auto first = n.items.begin();
        if (n.ordered)
            first = std::partition_point(n.items.begin(), n.items.end(), [&](const Item& item) {
                return std::pair(item.end_chrom, item.end_base) < query_start;
            });
        for (auto it = first; it != n.items.end(); ++it) {
            const Item& item = *it;
            const bool starts_after = query_end < std::pair(item.start_chrom, item.start_base);
            if (n.ordered && starts_after) break;
            const bool overlaps = query_start <= std::pair(item.end_chrom, item.end_base) && !starts_after;
            if (!overlaps) continue;
            if (n.leaf)
                out.push_back(DataBlock{item.offset, item.size});
            else
                children_.push_back(item.offset);
        }
        // Last child pushed first, so the first overlapping child is searched next.
        pending_.insert(pending_.end(), children_.rbegin(), children_.rend());
    }
    return {};
}

}  // namespace binscope::bigwig
