// byte_source.cpp - the file (pread) implementation of ByteSource.
#include "bigwig/byte_source.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "file_descriptor.hpp"

namespace binscope::bigwig {

namespace {

class FileSource final : public ByteSource {
public:
    FileSource(FileDescriptor fd, std::uint64_t size) : ByteSource(size), fd_(std::move(fd)) {}

    Status read_at(std::uint64_t offset, std::span<std::uint8_t> out) override {
        std::size_t done = 0;
        while (done < out.size()) {
            std::uint64_t at = offset + done;
            if (at < offset || at > static_cast<std::uint64_t>(INT64_MAX))
                return fail(short_read());
            ssize_t n = ::pread(fd_.get(), out.data() + done, out.size() - done, static_cast<off_t>(at));
            if (n < 0) {
                if (errno == EINTR) continue;
                return fail(Error::from_errno(errno));
            }
            if (n == 0) return fail(short_read());
            done += static_cast<std::size_t>(n);
        }
        return {};
    }

private:
    FileDescriptor fd_;
};

}  // namespace

Result<std::unique_ptr<ByteSource>> open_file_source(const std::string& path) {
    // Non-blocking so that a named pipe without a writer fails at its first
    // read (a pipe cannot be read at offsets) instead of hanging the open;
    // regular files ignore the flag.
    auto fd = open_file(path, O_RDONLY | O_NONBLOCK);
    if (!fd) return fail(std::move(fd.error()));
    struct stat st {};
    if (::fstat(fd->get(), &st) != 0) return fail(Error::from_errno(errno));
    auto size = st.st_size > 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
    return std::unique_ptr<ByteSource>(new FileSource(std::move(*fd), size));
}

}  // namespace binscope::bigwig
