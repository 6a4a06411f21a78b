// block_cache.hpp - reads, decompresses and decodes data blocks, keeping the
// last few decoded in memory so that neighbouring queries reuse them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "bigwig/byte_source.hpp"
#include "bigwig/format.hpp"
#include "bigwig/rtree_index.hpp"
#include "bigwig/section_decoder.hpp"
#include "error.hpp"

struct libdeflate_decompressor;

namespace binscope::bigwig {

// The most bytes a block's data can usefully hold: a section header and
// 65535 bedGraph records (itemCount is a u16).
inline constexpr std::uint64_t kMaxSectionBytes = 24 + 65535 * 12;

class BlockCache {
public:
    // uncompress_buf_size 0 means blocks are stored as they are.
    explicit BlockCache(std::uint32_t uncompress_buf_size);
    ~BlockCache();
    BlockCache(const BlockCache&) = delete;
    BlockCache& operator=(const BlockCache&) = delete;

    // The decoded section of a block, valid until the next call. A block
    // that does not decompress, or decompresses to more than
    // uncompressBufSize (or than any section can hold), or is shorter than a
    // section header, is an invalid file; a block reaching past the end of
    // the file is a short read. Without memory for a decompressor it throws
    // std::bad_alloc, as any allocation does.
    Result<const DecodedSection*> get(ByteSource& source, ByteOrder order, DataBlock block);

private:
    // Decompresses raw_ into inflated_ and returns what it holds.
    Result<std::span<const std::uint8_t>> inflate();

    struct Entry {
        std::uint64_t offset = 0, size = 0;
        std::uint64_t last_use = 0;  // 0: empty
        DecodedSection section;
    };
    struct FreeDecompressor {
        void operator()(libdeflate_decompressor* d) const;
    };

    std::uint32_t uncompress_buf_size_;
    // One decompressor per reader, made on first use.
    std::unique_ptr<libdeflate_decompressor, FreeDecompressor> decompressor_;
    std::vector<std::uint8_t> raw_;       // the block as stored in the file
    std::vector<std::uint8_t> inflated_;  // decompression target, reused
    DecodedSection scratch_;              // decoding target; swapped into the cache
    std::vector<Entry> entries_;
    std::uint64_t clock_ = 0;
};

}  // namespace binscope::bigwig
