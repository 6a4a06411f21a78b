// chrom_tree.hpp - reads the chromosome B+ tree into the chromosome list.
#pragma once

#include <cstdint>
#include <expected>
#include <vector>

#include "bigwig/reader.hpp"
#include "bigwig/byte_source.hpp"

namespace binscope::bigwig {

// Reads the tree header at tree_offset and walks the whole tree depth-first,
// children and items in file order. A short read of the header is an
// IoError; a wrong magic, a valSize other than 8 or any failure of the walk
// is InvalidChroms. The walk never reaches a node twice and never reads
// more node bytes than the file holds, so cycles and overlapping nodes end
// it instead of looping.
std::expected<std::vector<ChromInfo>, BigWigReadOpenError> read_chrom_tree(ByteSource& source, ByteOrder order,
                                                                           std::uint64_t tree_offset);

}  // namespace binscope::bigwig
