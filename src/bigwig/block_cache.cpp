// block_cache.cpp - block reads, libdeflate decompression, decoding and a
// small LRU of decoded blocks.
#include "bigwig/block_cache.hpp"

#include <libdeflate.h>

#include <algorithm>
#include <new>
#include <utility>

#include "bigwig/file_errors.hpp"

namespace binscope::bigwig {

namespace {

constexpr std::size_t kEntries = 4;
// Sections with more runs than this are served but not kept, so a reader's
// cache stays around a megabyte.
constexpr std::size_t kMaxCachedRuns = 256 * 1024 / sizeof(Run);
// The raw read buffer is given back after a block larger than this.
constexpr std::size_t kKeepRawCapacity = 4 << 20;

}  // namespace

void BlockCache::FreeDecompressor::operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }

BlockCache::BlockCache(std::uint32_t uncompress_buf_size)
    : uncompress_buf_size_(uncompress_buf_size), entries_(kEntries) {}

BlockCache::~BlockCache() = default;

Result<std::span<const std::uint8_t>> BlockCache::inflate() {
    if (!decompressor_) {
        decompressor_.reset(libdeflate_alloc_decompressor());
        if (!decompressor_) throw std::bad_alloc();
    }
    // uncompressBufSize comes from the file; nothing past kMaxSectionBytes
    // is ever decoded, so the buffer never needs to be larger.
    const std::size_t capacity = std::min<std::uint64_t>(uncompress_buf_size_, kMaxSectionBytes);
    if (inflated_.size() < capacity) inflated_.resize(capacity);
    std::size_t written = 0;
    auto result = libdeflate_zlib_decompress(decompressor_.get(), raw_.data(), raw_.size(), inflated_.data(), capacity,
                                             &written);
    if (result == LIBDEFLATE_INSUFFICIENT_SPACE) {
        return fail(invalid_file(capacity == uncompress_buf_size_
                                     ? "Block decompresses to more than uncompressBufSize"
                                     : "Block decompresses to more than a section can hold"));
    }
    if (result != LIBDEFLATE_SUCCESS) return fail(invalid_file("Block is not a valid zlib stream"));
    return std::span<const std::uint8_t>(inflated_.data(), written);
}

Result<const DecodedSection*> BlockCache::get(ByteSource& source, ByteOrder order, DataBlock block) {
    ++clock_;
    for (Entry& e : entries_) {
        if (e.last_use != 0 && e.offset == block.offset && e.size == block.size) {
            e.last_use = clock_;
            return &e.section;
        }
    }

    // Only what the file really holds is ever allocated.
    if (!source.holds(block.offset, block.size)) return fail(read_failed(short_read()));
    raw_.resize(block.size);
    if (auto r = source.read_at(block.offset, raw_); !r) return fail(read_failed(std::move(r.error())));

    std::span<const std::uint8_t> data = raw_;
    if (uncompress_buf_size_ != 0) {
        auto inflated = inflate();
        if (!inflated) return fail(std::move(inflated.error()));
        data = *inflated;
    }
    auto decoded = decode_section(data, order, scratch_);
    if (raw_.capacity() > kKeepRawCapacity) raw_ = {};
    if (!decoded) return fail(std::move(decoded.error()));
    if (scratch_.runs.size() > kMaxCachedRuns) return &scratch_;
    Entry& victim = *std::min_element(entries_.begin(), entries_.end(),
                                      [](const Entry& a, const Entry& b) { return a.last_use < b.last_use; });
    victim.offset = block.offset;
    victim.size = block.size;
    victim.last_use = clock_;
    // The victim's old runs become the next decoding target's storage.
    victim.section.runs.swap(scratch_.runs);
    victim.section.chrom_id = scratch_.chrom_id;
    victim.section.ordered = scratch_.ordered;
    victim.section.records = scratch_.records;
    return &victim.section;
}

}  // namespace binscope::bigwig
