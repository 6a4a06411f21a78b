// matrix.cpp - writes the gzipped matrix file: header line, then the rows,
// formatted a batch at a time and handed to the compressor.
#include "matrix.hpp"

#include "gzip_writer.hpp"
#include "matrix_text.hpp"

namespace binscope {

namespace {

// Text gathered before each hand-over to the compressor: large enough to
// keep per-call overhead negligible, small enough to bound memory.
constexpr std::size_t kBatchBytes = std::size_t{1} << 20;

}  // namespace

Status write_matrix_file(const std::string& path, const Matrix& matrix, const std::vector<std::string>& sample_labels,
                         const Params& params) {
    auto gzip = GzipWriter::create(path);
    if (!gzip) return fail(std::move(gzip.error()));

    TextBuffer text;
    text.append(matrix_header_line(matrix, sample_labels, params));
    for (std::size_t r = 0; r < matrix.rows(); ++r) {
        append_matrix_rows(text, matrix, r, r + 1);
        if (text.size() >= kBatchBytes) {
            if (auto s = gzip->write(text.view()); !s) return s;
            text.clear();
        }
    }
    if (auto s = gzip->write(text.view()); !s) return s;
    return gzip->finish();
}

}  // namespace binscope
