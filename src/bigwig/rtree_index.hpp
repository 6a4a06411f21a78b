// rtree_index.hpp - the R-tree index of a score file: finds the data blocks
// that may hold values of an interval, keeping recently used nodes in memory.
#pragma once

#include <cstdint>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "bigwig/byte_source.hpp"
#include "bigwig/format.hpp"
#include "error.hpp"

namespace binscope::bigwig {

// Where one data block lies in the file.
using DataBlock = ByteRange;

class RTreeIndex {
public:
    explicit RTreeIndex(ByteOrder order) : order_(order) {}

    // Reads the index header at index_offset unless an earlier call already
    // succeeded; a wrong magic is unknown_magic() and is tried again next
    // time.
    Status load_root(ByteSource& source, std::uint64_t index_offset);
    bool root_loaded() const { return root_.has_value(); }

    // Appends to out, in pre-order left to right, every leaf item whose span
    // overlaps or touches [start, end] of chrom. Requires load_root first.
    // A node reached twice in one search, or a search through more node
    // bytes than the file holds, is an invalid file.
    Status find_blocks(ByteSource& source, std::uint32_t chrom, std::uint32_t start, std::uint32_t end,
                       std::vector<DataBlock>& out);

private:
    struct Item {
        std::uint32_t start_chrom = 0, start_base = 0, end_chrom = 0, end_base = 0;
        std::uint64_t offset = 0, size = 0;
    };
    struct Node {
        bool leaf = false;
        // Starts and ends both non-decreasing, as writers lay nodes out: the
        // items a search wants are then one stretch, found by bisection.
        bool ordered = false;
        std::vector<Item> items;
    };

    Result<const Node*> node_at(ByteSource& source, std::uint64_t offset);
    // False when this search has already been at offset.
    bool first_visit(std::uint64_t offset);

    ByteOrder order_;
    std::optional<std::uint64_t> root_;
    // Recently read nodes; dropped all at once when over budget, which costs a
    // sorted query stream one re-read per tree level.
    std::unordered_map<std::uint64_t, Node> cache_;
    std::uint64_t cached_bytes_ = 0;
    Node uncached_;  // a node too large for the cache, valid until the next read
    // Scratch reused by every search.
    std::vector<std::uint64_t> pending_;
    std::vector<std::uint64_t> children_;
    // Nodes seen by this search: a short list first, since most searches
    // see a handful, then a set.
    std::vector<std::uint64_t> visited_few_;
    std::unordered_set<std::uint64_t> visited_many_;
    std::vector<std::uint8_t> bytes_;
};

}  // namespace binscope::bigwig
