// gzip_text.cpp - inflating a gzip file, member after member, with zlib.
#include "matrix_file/gzip_text.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <fmt/format.h>

namespace binscope {

// zlib keeps pointers into its stream, so the state stays in one place
// while a GzipText moves.
struct GzipText::State {
    static constexpr std::size_t kInputSize = std::size_t{1} << 18;
    z_stream stream{};
    std::unique_ptr<unsigned char[]> input;  // file input only
    bool started = false;       // the stream is initialised and the magic checked
    bool input_ended = false;
    bool member_ended = false;

    ~State() {
        if (started) inflateEnd(&stream);
    }
};

GzipText::GzipText() : state_(std::make_unique<State>()) {}
GzipText::GzipText(GzipText&&) noexcept = default;
GzipText& GzipText::operator=(GzipText&&) noexcept = default;
GzipText::~GzipText() = default;

Result<GzipText> GzipText::open(const std::string& path) {
    auto fd = open_file(path, O_RDONLY);
    if (!fd) return fail(std::move(fd.error()));
    struct stat info {};
    if (::fstat(fd->get(), &info) != 0) return fail(Error::from_errno(errno));
    GzipText text;
    text.fd_ = std::move(*fd);
    if (S_ISREG(info.st_mode)) {
        text.size_ = static_cast<std::uint64_t>(info.st_size);
        text.state_->input.reset(new unsigned char[State::kInputSize]);
        return text;
    }
    char buffer[1 << 16];
    while (true) {
        auto got = text.read_input(reinterpret_cast<unsigned char*>(buffer), sizeof buffer);
        if (!got) return fail(std::move(got.error()));
        if (*got == 0) break;
        text.owned_.append(buffer, *got);
    }
    text.fd_ = FileDescriptor();
    text.memory_ = text.owned_;
    text.size_ = text.owned_.size();
    text.offset_ = 0;
    return text;
}

GzipText GzipText::from_bytes(std::string_view bytes) {
    GzipText text;
    text.memory_ = bytes;
    text.size_ = bytes.size();
    return text;
}

// The next raw bytes of the file.
Result<std::size_t> GzipText::read_input(unsigned char* out, std::size_t size) {
    while (true) {
        const ssize_t got = ::read(fd_.get(), out, size);
        if (got >= 0) {
            offset_ += static_cast<std::uint64_t>(got);
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) return fail(Error::from_errno(errno));
    }
}

// Gives zlib the next input, if any is left.
Status GzipText::refill() {
    z_stream& z = state_->stream;
    if (z.avail_in != 0 || state_->input_ended) return {};
    if (fd_.get() < 0) {
        // At most 1 GiB at a time: zlib counts its input in 32 bits.
        const std::size_t piece = std::min<std::uint64_t>(size_ - offset_, std::uint64_t{1} << 30);
        z.next_in = reinterpret_cast<unsigned char*>(const_cast<char*>(memory_.data() + offset_));
        z.avail_in = static_cast<uInt>(piece);
        offset_ += piece;
    } else {
        auto got = read_input(state_->input.get(), State::kInputSize);
        if (!got) return fail(std::move(got.error()));
        z.next_in = state_->input.get();
        z.avail_in = static_cast<uInt>(*got);
    }
    state_->input_ended = z.avail_in == 0;
    return {};
}

// Checks the magic bytes and starts the decompressor.
Status GzipText::start() {
    if (size_ == 0) return fail("the file is empty");
    if (auto filled = refill(); !filled) return filled;
    z_stream& z = state_->stream;
    // A regular file hands over at least its first two bytes at once.
    if (z.avail_in < 2 || z.next_in[0] != 0x1f || z.next_in[1] != 0x8b)
        return fail("not a gzip file: it does not start with the gzip magic bytes 1f 8b");
    // A 15-bit window with the gzip wrapper.
    if (inflateInit2(&z, 15 + 16) != Z_OK) return fail("cannot start a gzip decompressor");
    state_->started = true;
    return {};
}

Result<std::size_t> GzipText::read(char* out, std::size_t size) {
    if (failed_) return std::unexpected(*failed_);
    auto got = inflate_into(out, size);
    if (!got) failed_ = got.error();
    return got;
}

Status GzipText::drain() {
    std::unique_ptr<char[]> scratch(new char[State::kInputSize]);
    while (true) {
        auto got = read(scratch.get(), State::kInputSize);
        if (!got) return fail(std::move(got.error()));
        if (*got == 0) return {};
    }
}

Result<std::size_t> GzipText::inflate_into(char* out, std::size_t size) {
    if (!state_->started)
        if (auto started = start(); !started) return fail(std::move(started.error()));
    z_stream& z = state_->stream;
    while (true) {
        if (auto filled = refill(); !filled) return fail(std::move(filled.error()));
        if (state_->member_ended) {
            if (z.avail_in == 0 && state_->input_ended) return 0;
            // Another member follows.
            inflateReset(&z);
            state_->member_ended = false;
        }
        const auto room = static_cast<uInt>(std::min<std::size_t>(size, std::size_t{1} << 30));
        z.next_out = reinterpret_cast<unsigned char*>(out);
        z.avail_out = room;
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) {
            state_->member_ended = true;
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            return fail(fmt::format("the gzip data is corrupt: {}", z.msg != nullptr ? z.msg : "inflate failed"));
        }
        const std::size_t produced = room - z.avail_out;
        if (produced > 0) return produced;
        // zlib may hold output of input it has taken: only when it makes
        // no progress at all has the data ended too soon.
        if (!state_->member_ended && z.avail_in == 0 && state_->input_ended)
            return fail("the gzip data ends before its last member does: the file is truncated");
    }
}

}  // namespace binscope
