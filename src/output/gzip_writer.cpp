// gzip_writer.cpp - the gzip framing around zlib's raw deflate.
#include "output/gzip_writer.hpp"

#include <algorithm>
#include <cstring>
#include <fmt/format.h>
#include <zlib.h>

namespace binscope {

struct GzipWriter::State {
    z_stream stream{};
    bool initialised = false;
    std::uint32_t crc = 0;
    std::uint32_t length = 0;  // uncompressed size modulo 2^32
    std::array<unsigned char, kOutputChunk> out;
    std::size_t out_used = 0;

    ~State() {
        if (initialised) deflateEnd(&stream);
    }
};

GzipWriter::GzipWriter(OutputFile file, std::unique_ptr<State> state)
    : file_(std::move(file)), state_(std::move(state)) {}
GzipWriter::GzipWriter(GzipWriter&&) noexcept = default;
GzipWriter& GzipWriter::operator=(GzipWriter&&) noexcept = default;
GzipWriter::~GzipWriter() = default;

Result<GzipWriter> GzipWriter::create(const std::string& path) {
    auto file = OutputFile::create(path);
    if (!file) return fail(std::move(file.error()));
    auto state = std::make_unique<State>();
    // Negative window bits: a raw deflate stream, framed here by hand.
    const int rc = deflateInit2(&state->stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    if (rc != Z_OK) return fail(fmt::format("cannot start the compressor (zlib error {})", rc));
    state->initialised = true;
    state->crc = static_cast<std::uint32_t>(crc32_z(0, nullptr, 0));
    // The header goes out with the first compressed chunk.
    std::memcpy(state->out.data(), kGzipHeader.data(), kGzipHeader.size());
    state->out_used = kGzipHeader.size();
    return GzipWriter(std::move(*file), std::move(state));
}

Status GzipWriter::drain_output() {
    State& s = *state_;
    if (s.out_used == 0) return {};
    const std::size_t n = s.out_used;
    s.out_used = 0;
    return file_.write(std::string_view(reinterpret_cast<const char*>(s.out.data()), n));
}

Status GzipWriter::deflate_input(std::string_view text, int flush) {
    State& s = *state_;
    // zlib counts in 32-bit units: feed very large batches in pieces.
    constexpr std::size_t kMaxPiece = std::size_t{1} << 30;
    do {
        const std::size_t piece = std::min(text.size(), kMaxPiece);
        const bool last_piece = piece == text.size();
        const int mode = last_piece ? flush : Z_NO_FLUSH;
        s.stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        s.stream.avail_in = static_cast<uInt>(piece);
        while (true) {
            s.stream.next_out = s.out.data() + s.out_used;
            s.stream.avail_out = static_cast<uInt>(s.out.size() - s.out_used);
            const int rc = deflate(&s.stream, mode);
            s.out_used = s.out.size() - s.stream.avail_out;
            if (rc == Z_STREAM_ERROR) return fail(fmt::format("compression failed (zlib error {})", rc));
            if (s.out_used == s.out.size()) {
                if (auto st = drain_output(); !st) return st;
                continue;
            }
            // Room was left, so deflate has taken all input and, when
            // finishing, written the end of the stream.
            if (mode != Z_FINISH || rc == Z_STREAM_END) break;
            if (rc != Z_OK) return fail(fmt::format("compression failed (zlib error {})", rc));
        }
        text.remove_prefix(piece);
    } while (!text.empty());
    return {};
}

Status GzipWriter::write(std::string_view text) {
    if (text.empty()) return {};
    State& s = *state_;
    s.crc = static_cast<std::uint32_t>(crc32_z(s.crc, reinterpret_cast<const Bytef*>(text.data()), text.size()));
    s.length += static_cast<std::uint32_t>(text.size());
    return deflate_input(text, Z_NO_FLUSH);
}

Status GzipWriter::finish() {
    if (auto st = deflate_input({}, Z_FINISH); !st) return st;
    State& s = *state_;
    unsigned char trailer[8];
    for (int i = 0; i < 4; ++i) {
        trailer[i] = static_cast<unsigned char>(s.crc >> (8 * i));
        trailer[4 + i] = static_cast<unsigned char>(s.length >> (8 * i));
    }
    if (s.out.size() - s.out_used < sizeof trailer)
        if (auto st = drain_output(); !st) return st;
    std::memcpy(s.out.data() + s.out_used, trailer, sizeof trailer);
    s.out_used += sizeof trailer;
    if (auto st = drain_output(); !st) return st;
    return file_.close();
}

}  // namespace binscope
