// file_descriptor.cpp - owning and opening POSIX file descriptors.
#include "file_descriptor.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace binscope {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
}

Result<FileDescriptor> open_file(const std::string& path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return fail(Error::from_errno(errno));
    return FileDescriptor(fd);
}

}  // namespace binscope
