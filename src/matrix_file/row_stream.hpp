// row_stream.hpp - the rows of a matrix file a batch at a time, in file
// order, through the same header check and row parser as read_matrix_file:
// one piece of text is held at a time, whatever the file's size.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "error.hpp"
#include "matrix_file/header_json.hpp"
#include "region.hpp"

namespace binscope {

class MatrixRowStream {
public:
    // Opens the file and reads its header line. Errors as read_matrix_file's.
    static Result<MatrixRowStream> open(const std::string& path);

    MatrixRowStream(MatrixRowStream&&) noexcept;
    MatrixRowStream& operator=(MatrixRowStream&&) noexcept;
    ~MatrixRowStream();

    const MatrixHeader& header() const;
    const std::string& path() const;
    std::size_t rows() const;  // as the header's group boundaries promise
    std::size_t cols() const;  // as its sample boundaries do
    std::size_t position() const;  // the next row to be read

    // Reads the next `count` rows (no more than are left): their values to
    // `values` (count x cols) and their regions, each in the group the
    // header's boundaries put it in, appended to `regions`. After the last
    // row, checks that the file holds no more. Errors name the file and,
    // for a row, its line number, as read_matrix_file does.
    Status read(std::size_t count, float* values, std::vector<Region>& regions);
    // Passes over the next `count` rows without keeping them.
    Status skip(std::size_t count);

private:
    struct State;
    explicit MatrixRowStream(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace binscope
