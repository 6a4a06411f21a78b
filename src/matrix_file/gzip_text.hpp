// gzip_text.hpp - the text of a gzip file (one member or several), inflated
// piece by piece from a file or from bytes in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "error.hpp"
#include "file_descriptor.hpp"

namespace binscope {

class GzipText {
public:
    // Opens the file at path. A file that is no regular file (a pipe) is
    // read whole first, so that its compressed size is known. The error is
    // the system's.
    static Result<GzipText> open(const std::string& path);
    // The bytes, which must outlive the reading.
    static GzipText from_bytes(std::string_view bytes);

    GzipText(GzipText&&) noexcept;
    GzipText& operator=(GzipText&&) noexcept;
    ~GzipText();

    // The size of the compressed input in bytes.
    std::uint64_t compressed_size() const { return size_; }

    // Inflates up to `size` bytes into `out`; 0 at the end of the last
    // member. Errors: an empty input, an input without the gzip magic
    // bytes, corrupt or truncated data.
    Result<std::size_t> read(char* out, std::size_t size);

    // Inflates the rest of the file, so that a fault of the compressed data
    // is reported whatever else went wrong first; after an error, that
    // error again.
    Status drain();

private:
    struct State;
    GzipText();
    Result<std::size_t> read_input(unsigned char* out, std::size_t size);
    Status start();
    Status refill();
    Result<std::size_t> inflate_into(char* out, std::size_t size);

    FileDescriptor fd_;
    std::string owned_;      // a pipe's bytes
    std::string_view memory_;  // the input when it is in memory
    std::uint64_t size_ = 0;
    std::uint64_t offset_ = 0;  // input bytes consumed
    std::unique_ptr<State> state_;
    std::optional<Error> failed_;  // the first error read() returned
};

}  // namespace binscope
