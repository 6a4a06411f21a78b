// matrix_file_internal.hpp - the matrix-file reader on bytes already in
// memory, cut into chunks of a chosen size: the door through which the
// tests and the fuzzer drive many chunks and many threads on small files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "error.hpp"
#include "matrix_file/matrix_file.hpp"
#include "matrix_file/text_chunks.hpp"

namespace binscope {

// The text of the reader's chunks: about this many bytes of whole lines.
inline constexpr std::size_t kMatrixChunkBytes = std::size_t{4} << 20;

// The longest header line and row line the reader takes.
inline constexpr std::size_t kMaxHeaderBytes = std::size_t{16} << 20;
inline constexpr std::size_t kMaxLineBytes = std::size_t{256} << 20;

// The line number of row r: the header is line 1.
inline std::size_t line_of_row(std::size_t row) { return row + 2; }

// The context every reading error gets: "Reading matrix file " + name.
std::string reading_context(const std::string& name);

// The header line, split off the first chunk of text (first.begin is set
// to the line after it).
Result<MatrixHeader> read_header(LineChunks& lines, TextChunk& first);

// The file has rows past the `rows` its header promises; it ends after
// `read` of the `rows`.
Error rows_beyond_header(std::size_t rows);
Error rows_short_of_header(std::size_t read, std::size_t rows);

// read_matrix_file on `bytes` (the gzip file's bytes) with the text cut
// into chunks of about `chunk_bytes`; `name` stands for the file in error
// messages.
Result<MatrixFile> read_matrix_bytes(std::string_view bytes, const std::string& name, std::size_t threads,
                                     std::size_t chunk_bytes = kMatrixChunkBytes,
                                     MatrixRegions regions = MatrixRegions::kept);

}  // namespace binscope
