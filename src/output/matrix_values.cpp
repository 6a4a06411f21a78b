// matrix_values.cpp - writes the plain-text matrix: a heading of sample
// labels, then the values with four decimals.
#include "output/matrix_values.hpp"

#include "output/number_format.hpp"
#include "output/output_file.hpp"
#include "output/text_buffer.hpp"

namespace binscope {

Status write_matrix_values(const std::string& path, const Matrix& matrix, std::int64_t bins_per_sample) {
    auto file = BufferedFile::create(path);
    if (!file) return fail(std::move(file.error()));

    TextBuffer line;
    line.append('#');
    for (std::size_t s = 0; s < matrix.sample_labels.size(); ++s) {
        if (s > 0) line.append('\t');
        for (std::int64_t b = 0; b < bins_per_sample; ++b) {
            if (b > 0) line.append('\t');
            line.append(matrix.sample_labels[s]);
            // Keep the heading's memory bounded however many bins there are.
            if (line.size() >= BufferedFile::kBufferSize) {
                if (auto st = file->append(line.view()); !st) return st;
                line.clear();
            }
        }
    }
    line.append('\n');
    if (auto st = file->append(line.view()); !st) return st;

    const std::size_t cols = matrix.cols;
    for (std::size_t r = 0; r < matrix.rows(); ++r) {
        line.clear();
        const float* values = matrix.row(r);
        char* p = line.reserve(cols * (kNumberTextMax + 1) + 1);
        for (std::size_t c = 0; c < cols; ++c) {
            if (c > 0) *p++ = '\t';
            p = write_float_fixed4(p, values[c]);
        }
        *p++ = '\n';
        line.commit(p);
        if (auto st = file->append(line.view()); !st) return st;
    }
    return file->close();
}

}  // namespace binscope
