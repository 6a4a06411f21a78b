// deflate_joiner.cpp - libdeflate's whole-buffer compression, and zlib's
// inflate in block mode to find where a segment's final block begins and
// ends.
#include "output/deflate_joiner.hpp"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fmt/format.h>

namespace binscope {

namespace {

// What the empty stored block puts after its header byte: the length 0
// and its complement.
constexpr unsigned char kEmptyStoredLengths[4] = {0x00, 0x00, 0xFF, 0xFF};
// The most a join appends: a header byte and the lengths.
constexpr std::size_t kJoinBytes = 5;
// zlib counts in 32-bit units: longer segments are fed in pieces.
constexpr std::size_t kMaxPiece = std::size_t{1} << 30;
// The decompressed text is compared with the segment's in pieces this large.
constexpr std::size_t kCheckPiece = std::size_t{1} << 17;

Error segment_error(std::string_view what) {
    return Error(fmt::format("compression failed: the compressed segment {}", what));
}

}  // namespace

struct DeflateJoiner::State {
    libdeflate_compressor* compressor = nullptr;
    z_stream inflater{};
    bool inflater_ready = false;
    std::unique_ptr<unsigned char[]> check = std::make_unique_for_overwrite<unsigned char[]>(kCheckPiece);

    ~State() {
        if (compressor != nullptr) libdeflate_free_compressor(compressor);
        if (inflater_ready) inflateEnd(&inflater);
    }
};

DeflateJoiner::DeflateJoiner(std::unique_ptr<State> state) : state_(std::move(state)) {}
DeflateJoiner::DeflateJoiner(DeflateJoiner&&) noexcept = default;
DeflateJoiner& DeflateJoiner::operator=(DeflateJoiner&&) noexcept = default;
DeflateJoiner::~DeflateJoiner() = default;

Result<DeflateJoiner> DeflateJoiner::create(int level) {
    auto state = std::make_unique<State>();
    state->compressor = libdeflate_alloc_compressor(level);
    if (state->compressor == nullptr) return fail(fmt::format("cannot start the compressor at level {}", level));
    // Negative window bits: a raw deflate stream.
    if (const int rc = inflateInit2(&state->inflater, -15); rc != Z_OK)
        return fail(fmt::format("cannot start the decompressor (zlib error {})", rc));
    state->inflater_ready = true;
    return DeflateJoiner(std::move(state));
}

Status DeflateJoiner::compress(std::string_view text, bool last, DeflatedSegment& out) {
    out.crc = static_cast<std::uint32_t>(libdeflate_crc32(0, text.data(), text.size()));
    out.length = text.size();
    out.size = 0;
    if (text.empty() && !last) return {};
    const std::size_t bound = libdeflate_deflate_compress_bound(state_->compressor, text.size());
    if (out.capacity < bound + kJoinBytes) {
        out.bytes = std::make_unique_for_overwrite<unsigned char[]>(bound + kJoinBytes);
        out.capacity = bound + kJoinBytes;
    }
    out.size = libdeflate_deflate_compress(state_->compressor, text.data(), text.size(), out.bytes.get(), bound);
    if (out.size == 0) return fail(segment_error("does not fit its bound"));
    return join(text, last, out);
}

// Inflates the segment a block at a time, comparing its text, up to the
// end of the final block. zlib stops at every block boundary with the
// unused bits of the last byte it took (where the next block's header
// starts) in data_type & 7, and data_type & 64 set once the block that
// ended was the final one; going on from there would drop those bits.
Status DeflateJoiner::walk(std::string_view text, DeflatedSegment& segment) {
    z_stream& z = state_->inflater;
    if (const int rc = inflateReset(&z); rc != Z_OK)
        return fail(fmt::format("cannot restart the decompressor (zlib error {})", rc));
    unsigned char* const check = state_->check.get();
    std::size_t fed = 0, matched = 0;
    std::uint64_t block = 0;  // the current block's header, in bits
    bool more_output = false;  // zlib filled the output and may hold more
    z.avail_in = 0;
    while (true) {
        if (z.avail_in == 0 && !more_output) {
            if (fed == segment.size) return fail(segment_error("ends before its final block"));
            const std::size_t piece = std::min(segment.size - fed, kMaxPiece);
            z.next_in = segment.bytes.get() + fed;
            z.avail_in = static_cast<uInt>(piece);
            fed += piece;
        }
        z.next_out = check;
        z.avail_out = static_cast<uInt>(kCheckPiece);
        const int rc = inflate(&z, Z_BLOCK);
        if (rc != Z_OK && rc != Z_BUF_ERROR)
            return fail(segment_error(fmt::format("is not a deflate stream ({})", z.msg ? z.msg : "zlib error")));
        const std::size_t produced = kCheckPiece - z.avail_out;
        if (produced > text.size() - matched ||
            (produced > 0 && std::memcmp(check, text.data() + matched, produced) != 0))
            return fail(segment_error("decodes to other text"));
        matched += produced;
        more_output = z.avail_out == 0;
        if ((z.data_type & 128) == 0) continue;
        const std::uint64_t at = std::uint64_t{z.total_in} * 8 - static_cast<unsigned>(z.data_type & 7);
        if (z.data_type & 64) {
            segment.final_block_bit = block;
            segment.end_bit = at;
            break;
        }
        block = at;
    }
    if (matched != text.size()) return fail(segment_error("decodes to other text"));
    if (z.total_in != segment.size)
        return fail(segment_error(fmt::format("has {} bytes after its final block", segment.size - z.total_in)));
    return {};
}

Status DeflateJoiner::join(std::string_view text, bool last, DeflatedSegment& out) {
    if (out.capacity < out.size + kJoinBytes) return fail(segment_error("has no room to be joined"));
    if (auto walked = walk(text, out); !walked) return walked;
    if (last) return {};
    unsigned char* const bytes = out.bytes.get();
    bytes[out.final_block_bit / 8] &= static_cast<unsigned char>(~(1u << (out.final_block_bit % 8)));
    // The empty stored block: three zero header bits (non-final, stored)
    // right after the final block, zero bits up to the byte boundary, then
    // the lengths.
    const std::uint64_t end = out.end_bit;
    if (end % 8 != 0) bytes[end / 8] &= static_cast<unsigned char>((1u << (end % 8)) - 1);
    const std::size_t size = (end + 3 + 7) / 8;
    if (size > out.size) bytes[size - 1] = 0;  // the header bits begin a new byte
    std::memcpy(bytes + size, kEmptyStoredLengths, sizeof kEmptyStoredLengths);
    out.size = size + sizeof kEmptyStoredLengths;
    return {};
}

}  // namespace binscope
