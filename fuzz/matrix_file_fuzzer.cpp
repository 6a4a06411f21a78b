// matrix_file_fuzzer.cpp - reads arbitrary bytes as a matrix file: as they
// are when they start like gzip, else as the text of a one-member gzip
// file. A file read whole on one thread and in small chunks on three must
// give the same matrix or the same error, and a matrix read must hold
// together.
#include <zlib.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "matrix_file/matrix_file_internal.hpp"

namespace {

std::string gzip_text(std::string_view text) {
    z_stream z{};
    if (deflateInit2(&z, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) std::abort();
    std::string out(deflateBound(&z, text.size()), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) std::abort();
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

void check(bool condition) {
    if (!condition) std::abort();
}

void check_matrix(const binscope::MatrixFile& file) {
    const binscope::Matrix& m = file.matrix;
    check(m.values.size() == m.rows() * m.cols);
    check(m.rows() == m.region_set.regions.size());
    check(m.group_boundaries.back() == m.rows());
    check(m.cols == file.header.sample_boundaries.back());
    for (std::size_t r = 0; r < m.rows(); ++r) {
        check(!m.region(r).blocks.empty());
        check(m.region(r).group < m.region_set.groups.size());
    }
}

bool same(const binscope::Result<binscope::MatrixFile>& a, const binscope::Result<binscope::MatrixFile>& b) {
    if (!a || !b) return !a && !b && a.error().chain() == b.error().chain();
    const binscope::Matrix &x = a->matrix, &y = b->matrix;
    if (x.values.size() != y.values.size() || x.rows() != y.rows()) return false;
    for (std::size_t i = 0; i < x.values.size(); ++i)
        if (std::bit_cast<std::uint32_t>(x.values[i]) != std::bit_cast<std::uint32_t>(y.values[i])) return false;
    for (std::size_t r = 0; r < x.rows(); ++r) {
        const binscope::Region &p = x.region(r), &q = y.region(r);
        if (p.chrom != q.chrom || p.blocks != q.blocks || p.name != q.name || p.score != q.score.view() ||
            p.group != q.group || p.strand != q.strand)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string bytes = input.starts_with("\x1f\x8b") ? std::string(input) : gzip_text(input);
    // Whole, and in chunks of a few lines parsed side by side.
    const auto one = binscope::read_matrix_bytes(bytes, "fuzz.gz", 1);
    const auto three = binscope::read_matrix_bytes(bytes, "fuzz.gz", 3, 64);
    check(same(one, three));
    if (one) check_matrix(*one);
    return 0;
}
