// output_file.cpp - POSIX creation and writing of output files.
#include "output/output_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace binscope {

Result<OutputFile> OutputFile::create(const std::string& path) {
    auto fd = open_file(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (!fd) return fail(std::move(fd.error()));
    return OutputFile(std::move(*fd));
}

Status OutputFile::write(std::string_view data) {
    if (fd_.get() < 0) return fail(Error::from_errno(EBADF));
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd_.get(), p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(Error::from_errno(errno));
        }
        if (n == 0) return fail(Error::from_errno(EIO));  // no progress: never spin
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return {};
}

Status OutputFile::close() {
    if (fd_.get() < 0) return {};
    const int fd = fd_.release();
    // On Linux the descriptor is gone even when close is interrupted, so
    // EINTR is no failure and must not be retried.
    if (::close(fd) != 0 && errno != EINTR) return fail(Error::from_errno(errno));
    return {};
}

Result<BufferedFile> BufferedFile::create(const std::string& path) {
    auto file = OutputFile::create(path);
    if (!file) return fail(std::move(file.error()));
    return BufferedFile(std::move(*file));
}

Status BufferedFile::append(std::string_view text) {
    if (text.size() <= kBufferSize - used_) {
        std::memcpy(buffer_.get() + used_, text.data(), text.size());
        used_ += text.size();
        return {};
    }
    const std::size_t head = kBufferSize - used_;
    std::memcpy(buffer_.get() + used_, text.data(), head);
    used_ = kBufferSize;
    if (auto s = flush(); !s) return s;
    text.remove_prefix(head);
    // Whole buffers' worth goes straight to the file.
    const std::size_t direct = text.size() - text.size() % kBufferSize;
    if (direct > 0) {
        if (auto s = file_.write(text.substr(0, direct)); !s) return s;
        text.remove_prefix(direct);
    }
    std::memcpy(buffer_.get(), text.data(), text.size());
    used_ = text.size();
    return {};
}

Status BufferedFile::flush() {
    if (used_ == 0) return {};
    const std::size_t n = used_;
    used_ = 0;
    return file_.write(std::string_view(buffer_.get(), n));
}

Status BufferedFile::close() {
    if (auto s = flush(); !s) return s;
    return file_.close();
}

}  // namespace binscope
