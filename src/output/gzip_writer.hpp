// gzip_writer.hpp - a single-member gzip file: fixed header, raw deflate
// body at level 6, CRC-32 and length trailer.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "error.hpp"
#include "output/output_file.hpp"

namespace binscope {

// The header every file gets: no name, no time stamp, OS byte 255, so the
// same text always gives the same file.
inline constexpr std::array<unsigned char, 10> kGzipHeader{0x1F, 0x8B, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF};

// Compresses text handed to it in batches and writes the compressed bytes
// to the file in chunks of up to 32768 bytes. Callers format a batch of
// text first and then pass it in, which keeps formatting and compression
// separable.
class GzipWriter {
public:
    static constexpr std::size_t kOutputChunk = 32768;

    // Creates or truncates the file (0666 less the umask) and readies the
    // compressor. Errors are the system's own.
    static Result<GzipWriter> create(const std::string& path);

    GzipWriter(GzipWriter&&) noexcept;
    GzipWriter& operator=(GzipWriter&&) noexcept;
    ~GzipWriter();

    // Compresses `text` as the next part of the uncompressed stream.
    Status write(std::string_view text);
    // Ends the deflate stream, writes the trailer and closes the file.
    Status finish();

private:
    struct State;
    GzipWriter(OutputFile file, std::unique_ptr<State> state);
    Status deflate_input(std::string_view text, int flush);
    Status drain_output();

    OutputFile file_;
    // Held by pointer: the compressor keeps a pointer back to its stream
    // record, so the record must not move.
    std::unique_ptr<State> state_;
};

}  // namespace binscope
