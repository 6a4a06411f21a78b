// tree_node.hpp - the header every node of a score file's two trees (the
// chromosome tree and the R-tree index) starts with.
#pragma once

#include <array>
#include <cstdint>

#include "bigwig/byte_cursor.hpp"
#include "bigwig/byte_source.hpp"
#include "error.hpp"

namespace binscope::bigwig {

struct NodeHead {
    std::uint8_t is_leaf = 0;
    std::uint16_t count = 0;  // items that follow the header
};

// The 4-byte node header at offset: isLeaf, a reserved byte, the item
// count. The error is the read's.
inline Result<NodeHead> read_node_head(ByteSource& source, ByteOrder order, std::uint64_t offset) {
    std::array<std::uint8_t, 4> bytes{};
    if (auto r = source.read_at(offset, bytes); !r) return fail(std::move(r.error()));
    ByteCursor c(bytes, order);
    NodeHead head;
    std::uint8_t reserved = 0;
    c.u8(head.is_leaf);
    c.u8(reserved);
    c.u16(head.count);
    return head;
}

}  // namespace binscope::bigwig
