// chrom_tree.hpp - reads the chromosome B+ tree into the chromosome list.
#pragma once

#include <cstdint>
#include <vector>

#include "bigwig/byte_source.hpp"
#include "bigwig/format.hpp"
#include "error.hpp"

namespace binscope::bigwig {

// Reads the tree header at tree_offset and walks the whole tree depth-first,
// children and items in file order. A failed read of the header is the
// read's error; a wrong magic, a valSize other than 8 or any failure of the
// walk is InvalidChroms. The walk never reaches a node twice and never reads
// more node bytes than the file holds, so cycles and overlapping nodes end
// it instead of looping.
Result<std::vector<ChromInfo>> read_chrom_tree(ByteSource& source, ByteOrder order, std::uint64_t tree_offset);

}  // namespace binscope::bigwig
