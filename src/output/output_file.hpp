// output_file.hpp - created output files: raw descriptor writes and an
// 8192-byte buffered text writer on top.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "error.hpp"
#include "file_descriptor.hpp"

namespace binscope {

// An output file open for writing. Errors are the system's own, with no
// context added; a file that fails part-way is left in place.
class OutputFile {
public:
    // Creates or truncates `path` with permissions 0666 less the umask.
    static Result<OutputFile> create(const std::string& path);

    // A file that was not closed explicitly is closed when destroyed,
    // ignoring errors (the caller is already returning an earlier one).

    // Writes all of `data`, resuming after short writes and interruptions.
    Status write(std::string_view data);
    // Closes the descriptor; a failure here can be a deferred write error.
    Status close();

private:
    explicit OutputFile(FileDescriptor fd) : fd_(std::move(fd)) {}
    FileDescriptor fd_;
};

// Text output through an 8192-byte buffer.
class BufferedFile {
public:
    static constexpr std::size_t kBufferSize = 8192;

    static Result<BufferedFile> create(const std::string& path);

    Status append(std::string_view text);
    // Writes out the buffer and closes the file.
    Status close();

private:
    explicit BufferedFile(OutputFile file) : file_(std::move(file)) {}
    Status flush();

    OutputFile file_;
    std::unique_ptr<char[]> buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
    std::size_t used_ = 0;
};

}  // namespace binscope
