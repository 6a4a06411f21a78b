// bigwig_stream_writer.hpp - writes genome-sized bigWig files record by
// record, holding only the block being filled and the block index in
// memory, so that a file of hundreds of megabytes costs a few megabytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace binscope::bench {

struct ChromSize {
    std::string name;
    std::uint32_t length = 0;
};

// bedGraph sections, zlib-compressed blocks of up to `items_per_block`
// records, a one-node chromosome tree and a bulk-loaded R-tree with 256
// items per node, little-endian. Records must come chromosome by
// chromosome in the order of the list, each chromosome's records sorted
// and not overlapping.
class BigWigStreamWriter {
public:
    // Opens (truncates) path and writes the file's head. Throws
    // std::runtime_error when the file cannot be written and
    // std::invalid_argument for more than 256 chromosomes.
    BigWigStreamWriter(const std::string& path, std::vector<ChromSize> chroms, std::uint32_t items_per_block = 1024);
    ~BigWigStreamWriter();
    BigWigStreamWriter(const BigWigStreamWriter&) = delete;
    BigWigStreamWriter& operator=(const BigWigStreamWriter&) = delete;

    // One record [start, end) = value of chromosome `chrom` (its index).
    void add(std::uint32_t chrom, std::uint32_t start, std::uint32_t end, float value);

    // Writes the last block, the index and the header; returns the size.
    std::uint64_t finish();

private:
    struct IndexItem {
        std::uint32_t chrom = 0, start = 0, end = 0;
        std::uint64_t offset = 0, size = 0;
    };

    void flush_block();
    void put(const void* data, std::size_t size);
    void put_u8(std::uint8_t v) { put(&v, 1); }
    void put_u16(std::uint16_t v) { put(&v, 2); }
    void put_u32(std::uint32_t v) { put(&v, 4); }
    void put_u64(std::uint64_t v) { put(&v, 8); }
    void write_index();

    std::string path_;
    std::FILE* file_ = nullptr;
    std::vector<ChromSize> chroms_;
    std::uint32_t items_per_block_;
    std::uint64_t pos_ = 0;
    std::uint64_t chrom_tree_offset_ = 0, data_offset_ = 0, index_offset_ = 0;
    std::uint32_t max_block_bytes_ = 0;
    // The block being filled: its chromosome and records (12 bytes each).
    std::uint32_t block_chrom_ = 0;
    std::uint32_t block_items_ = 0;
    std::vector<unsigned char> records_;
    std::vector<unsigned char> compressed_;
    std::vector<IndexItem> index_;
    bool finished_ = false;
};

}  // namespace binscope::bench
