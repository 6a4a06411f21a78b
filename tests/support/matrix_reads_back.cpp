// matrix_reads_back.cpp - a written matrix file, read back and written
// again line by line.
#include "support/matrix_reads_back.hpp"

#include <gtest/gtest.h>

#include "matrix_file/matrix_file.hpp"
#include "output/number_format.hpp"
#include "support/test_files.hpp"

namespace binscope::testing {

namespace {

std::string int_list(const BlockList& blocks, bool ends) {
    std::string out;
    char buffer[kNumberTextMax];
    for (const Block& block : blocks) {
        if (!out.empty()) out += ',';
        out.append(buffer, write_int(buffer, ends ? block.end : block.start));
    }
    return out;
}

// The line of row r as the writer writes it.
std::string row_line(const Matrix& matrix, std::size_t r) {
    const Region& region = matrix.region(r);
    std::string line = std::string(region.chrom.view()) + '\t' + int_list(region.blocks, false) + '\t' +
                       int_list(region.blocks, true) + '\t' + std::string(region.name.view()) + '\t' +
                       std::string(region.score.view()) + '\t' + static_cast<char>(region.strand);
    char buffer[kNumberTextMax];
    for (std::size_t c = 0; c < matrix.cols; ++c) {
        line += '\t';
        line.append(buffer, write_float_shortest(buffer, matrix.row(r)[c]));
    }
    return line;
}

}  // namespace

void expect_matrix_reads_back(const std::string& path) {
    SCOPED_TRACE("reading back " + path);
    const auto file = read_matrix_file(path, 2);
    ASSERT_TRUE(file) << file.error().message() << ": " << file.error().causes().back();
    const std::vector<std::string> lines = split(read_gzip_file(path), '\n');
    ASSERT_EQ(lines.size(), file->matrix.rows() + 1);
    EXPECT_EQ(lines[0], "@" + file->header.json);
    for (std::size_t r = 0; r < file->matrix.rows(); ++r) {
        ASSERT_EQ(row_line(file->matrix, r), lines[r + 1]) << "row " << r;
    }
}

}  // namespace binscope::testing
