// deflate_joiner.hpp - one segment of a longer raw deflate stream,
// compressed on its own and made ready for the next segment's bytes to
// follow it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "error.hpp"

namespace binscope {

// A segment's part of the stream and what the checksum of the whole needs.
struct DeflatedSegment {
    std::unique_ptr<unsigned char[]> bytes;  // the part is bytes[0, size)
    std::size_t capacity = 0;
    std::size_t size = 0;
    std::uint32_t crc = 0;     // CRC-32 of the segment's text
    std::uint64_t length = 0;  // bytes of text
    // Where the walk found the header of the final block and the end of
    // that block, in bits from the start of the compressed segment.
    std::uint64_t final_block_bit = 0;
    std::uint64_t end_bit = 0;
};

// Compresses segments into complete raw deflate streams and joins them:
// every segment but the last has its final block marked non-final and is
// followed by an empty stored block, which leaves the bit stream on a byte
// boundary, as a sync flush would. No back-reference reaches into an
// earlier segment, so the parts simply follow one another. One per thread.
class DeflateJoiner {
public:
    // `level` is the compression level, 0 (stored blocks only) to 12.
    static Result<DeflateJoiner> create(int level);

    DeflateJoiner(DeflateJoiner&&) noexcept;
    DeflateJoiner& operator=(DeflateJoiner&&) noexcept;
    ~DeflateJoiner();

    // Compresses `text` into `out` (its buffer reused and grown as needed)
    // and joins it as `last` tells. An empty text that is not the last
    // gives an empty part.
    Status compress(std::string_view text, bool last, DeflatedSegment& out);

    // Walks out.bytes[0, size) block by block: it must be one complete raw
    // deflate stream of exactly `text`, with nothing after it. Unless
    // `last`, then clears the final block's BFINAL bit and appends the
    // empty stored block; `out` needs room for 5 more bytes. A segment
    // that does not walk cleanly is an error and is left unjoined.
    Status join(std::string_view text, bool last, DeflatedSegment& out);

private:
    struct State;
    explicit DeflateJoiner(std::unique_ptr<State> state);
    Status walk(std::string_view text, DeflatedSegment& segment);

    // Held by pointer: the decompressor keeps a pointer back to its
    // stream record, so the record must not move.
    std::unique_ptr<State> state_;
};

}  // namespace binscope
