// limit_probes.hpp - the least work any exact run of a workload must do,
// measured single-threaded on its own data: (a) read and inflate once
// every data block its windows touch, (b) compress its matrix text through
// the output stage's gzip writer on one thread (level 6 in segments of
// 1 MiB, joined into one stream, and the CRC-32), (c) format its values
// as the matrix file writes them. zlib at level 6, one stream, is timed beside (b) for
// comparison; it is not part of the limit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace binscope::bench {

struct ProbeResult {
    // (a)
    double read_inflate_seconds = 0;
    std::uint64_t blocks = 0;
    std::uint64_t stored_bytes = 0;
    std::uint64_t inflated_bytes = 0;
    // (b), and zlib beside it
    double compress_seconds = 0;
    std::uint64_t text_bytes = 0;
    std::uint64_t compressed_bytes = 0;  // the matrix file's size
    double zlib_compress_seconds = 0;
    std::uint64_t zlib_compressed_bytes = 0;
    // (c): the standard library's shortest form, checked against the
    // file's text.
    double format_seconds = 0;
    std::uint64_t values = 0;
    bool text_matches = false;

    double total() const { return read_inflate_seconds + compress_seconds + format_seconds; }
    // The least wall time on `threads` threads.
    double limit(unsigned threads) const { return total() / threads; }
};

// Probes for one run: `command_line` is the binscope command line
// (program name first) and `matrix_gz` the gzipped matrix it wrote.
// Throws std::runtime_error on unreadable inputs.
ProbeResult run_probes(const std::vector<std::string>& command_line, const std::string& matrix_gz);

}  // namespace binscope::bench
