// block_cache.cpp - block reads, libdeflate decompression and a small LRU of
// decompressed blocks.
#include "bigwig/block_cache.hpp"

#include <libdeflate.h>

#include <algorithm>
#include <new>

namespace binscope::bigwig {

namespace {

constexpr std::size_t kEntries = 4;
// Blocks larger than this are served but not kept, so a reader's cache
// stays around a megabyte.
constexpr std::uint64_t kMaxCachedBlock = 256 * 1024;
// The raw read buffer is given back after a block larger than this.
constexpr std::size_t kKeepRawCapacity = 4 << 20;

std::unexpected<BBIReadError> invalid(std::string message) {
    return std::unexpected(BBIReadError{BBIReadError::Kind::InvalidFile, std::move(message)});
}

}  // namespace

void BlockCache::FreeDecompressor::operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }

BlockCache::BlockCache(std::uint32_t uncompress_buf_size)
    : uncompress_buf_size_(uncompress_buf_size), entries_(kEntries) {}

BlockCache::~BlockCache() = default;

std::expected<std::span<const std::uint8_t>, BBIReadError> BlockCache::get(ByteSource& source, DataBlock block,
                                                                           ReaderStats& stats) {
    ++clock_;
    for (Entry& e : entries_) {
        if (e.last_use != 0 && e.offset == block.offset && e.size == block.size) {
            e.last_use = clock_;
            ++stats.block_cache_hits;
            return std::span<const std::uint8_t>(e.data);
        }
    }

    // Only what the file really holds is ever allocated.
    if (!source.holds(block.offset, block.size))
        return std::unexpected(BBIReadError{BBIReadError::Kind::IoError, kShortReadText});
    ++stats.block_reads;
    raw_.resize(block.size);
    if (auto r = source.read_at(block.offset, raw_); !r)
        return std::unexpected(BBIReadError{BBIReadError::Kind::IoError, r.error().text});

    std::span<const std::uint8_t> data = raw_;
    if (uncompress_buf_size_ != 0) {
        if (!decompressor_) {
            decompressor_.reset(libdeflate_alloc_decompressor());
            if (!decompressor_) throw std::bad_alloc();
        }
        // uncompressBufSize comes from the file; nothing past kMaxSectionBytes
        // is ever decoded, so the buffer never needs to be larger.
        const std::size_t capacity = std::min<std::uint64_t>(uncompress_buf_size_, kMaxSectionBytes);
        if (inflated_.size() < capacity) inflated_.resize(capacity);
        ++stats.blocks_inflated;
        std::size_t written = 0;
        auto result = libdeflate_zlib_decompress(decompressor_.get(), raw_.data(), raw_.size(), inflated_.data(),
                                                 capacity, &written);
        if (result == LIBDEFLATE_INSUFFICIENT_SPACE)
            return invalid(capacity == uncompress_buf_size_ ? "Block decompresses to more than uncompressBufSize"
                                                            : "Block decompresses to more than a section can hold");
        if (result != LIBDEFLATE_SUCCESS) return invalid("Block is not a valid zlib stream");
        data = std::span<const std::uint8_t>(inflated_.data(), written);
    }

    std::span<const std::uint8_t> result = data;
    if (data.size() <= kMaxCachedBlock) {
        Entry& victim = *std::min_element(entries_.begin(), entries_.end(),
                                          [](const Entry& a, const Entry& b) { return a.last_use < b.last_use; });
        victim.offset = block.offset;
        victim.size = block.size;
        victim.last_use = clock_;
        victim.data.assign(data.begin(), data.end());
        result = victim.data;
    }
    if (raw_.capacity() > kKeepRawCapacity) {
        if (result.data() == raw_.data()) return result;  // still in use by the caller
        raw_ = {};
    }
    return result;
}

}  // namespace binscope::bigwig
