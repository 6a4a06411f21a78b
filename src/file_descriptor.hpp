// file_descriptor.hpp - an owned POSIX file descriptor, and opening one.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>

#include "error.hpp"

namespace binscope {

// Closes its descriptor when destroyed, ignoring errors: a caller that
// cares about the close takes the descriptor back with release().
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();

    int get() const { return fd_; }  // -1 when there is none
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_ = -1;
};

// open(2) of path with flags (O_CLOEXEC added) and, for a file it creates,
// mode; tried again when a signal interrupts it. The error is the
// system's ("... (os error N)").
Result<FileDescriptor> open_file(const std::string& path, int flags, mode_t mode = 0);

}  // namespace binscope
