// matrix_file_internal.hpp - the matrix-file reader on bytes already in
// memory, cut into chunks of a chosen size: the door through which the
// tests and the fuzzer drive many chunks and many threads on small files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "error.hpp"
#include "matrix_file/matrix_file.hpp"

namespace binscope {

// The text of the reader's chunks: about this many bytes of whole lines.
inline constexpr std::size_t kMatrixChunkBytes = std::size_t{4} << 20;

// read_matrix_file on `bytes` (the gzip file's bytes) with the text cut
// into chunks of about `chunk_bytes`; `name` stands for the file in error
// messages.
Result<MatrixFile> read_matrix_bytes(std::string_view bytes, const std::string& name, std::size_t threads,
                                     std::size_t chunk_bytes = kMatrixChunkBytes);

}  // namespace binscope
