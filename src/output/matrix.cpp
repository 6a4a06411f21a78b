// matrix.cpp - writes the gzipped matrix file: header line, then the rows,
// in segments of neighbouring rows formatted and compressed on the run's
// threads.
#include "output/matrix.hpp"

#include <algorithm>

#include <fmt/format.h>

#include "output/matrix_text.hpp"
#include "output/segmented_gzip.hpp"
#include "progress.hpp"

namespace binscope {

namespace {

// Text per segment: large enough that restarting the compressor's window
// costs nothing measurable and per-segment overhead is negligible, small
// enough to bound memory. The row count depends only on the matrix's
// width, so the file's bytes do not depend on the thread count.
constexpr std::size_t kSegmentBytes = std::size_t{1} << 20;
// A guess of a row's text: region columns plus a few bytes per value.
constexpr std::size_t kRowBytes = 64;
constexpr std::size_t kValueBytes = 8;
// More writing threads than this only add memory.
constexpr std::size_t kMaxThreads = 64;

}  // namespace

Status write_matrix_file(const std::string& path, const Matrix& matrix, const std::vector<std::string>& sample_labels,
                         const Params& params) {
    const std::string header = matrix_header_line(matrix, sample_labels, params);
    const std::size_t rows = matrix.rows();
    const std::size_t row_bytes = kRowBytes + kValueBytes * std::min(matrix.cols, kSegmentBytes);
    const std::size_t rows_per_segment = std::max<std::size_t>(1, kSegmentBytes / row_bytes);
    const std::size_t segments = rows == 0 ? 1 : (rows - 1) / rows_per_segment + 1;
    const std::size_t threads = std::min(params.numberOfProcessors, kMaxThreads);

    LiveStatus status(params.quiet, fmt::format("Writing {}", path), "rows", rows, std::chrono::seconds(1));
    return write_segmented_gzip(path, segments, threads, [&](std::size_t k, TextBuffer& text) {
        if (k == 0) text.append(header);
        const std::size_t begin = std::min(k * rows_per_segment, rows);
        const std::size_t end = std::min(begin + rows_per_segment, rows);
        append_matrix_rows(text, matrix, begin, end);
        status.add(end - begin);
    });
}

}  // namespace binscope
