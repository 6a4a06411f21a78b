// bigwig_blocks.hpp - the data blocks of a bigWig file as its own index
// lists them, read straight from the file's bytes, so that the limit probe
// measures the format's least work without going through the program.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace binscope::bench {

// One leaf of the file's R-tree: the data block at [offset, offset + size)
// covers the positions from (start_chrom, start) up to (end_chrom, end).
struct IndexedBlock {
    std::uint32_t start_chrom = 0;
    std::uint32_t start = 0;
    std::uint32_t end_chrom = 0;
    std::uint32_t end = 0;
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

struct BigWigBlocks {
    std::unordered_map<std::string, std::uint32_t> chrom_ids;  // name -> id
    std::uint32_t uncompress_buf_size = 0;
    std::vector<IndexedBlock> blocks;  // sorted by start, as written

    // Appends the blocks that overlap [start, end) of chromosome `chrom`.
    // Assumes what every sound writer gives: blocks sorted and not
    // overlapping one another.
    void find(std::uint32_t chrom, std::uint32_t start, std::uint32_t end,
              std::vector<IndexedBlock>& out) const;
};

// Reads the header, the chromosome tree and every leaf of the R-tree of
// the bigWig file at `path`. Throws std::runtime_error on a file that is
// not one.
BigWigBlocks read_bigwig_blocks(const std::string& path);

}  // namespace binscope::bench
