// text_input.cpp - buffered line reading with UTF-8 checks.
#include "text_input.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fmt/format.h>
#include <zlib.h>

#include "text_input_internal.hpp"
#include "utf8.hpp"

namespace binscope::detail {

// The state of inflating a gzip file: zlib keeps pointers into it, so it
// stays in one place while InputBytes moves.
struct InputBytes::Gzip {
    z_stream stream{};
    std::unique_ptr<unsigned char[]> input{new unsigned char[kInputSize]};
    bool started = false;
    bool input_ended = false;
    bool member_ended = false;
    static constexpr std::size_t kInputSize = std::size_t{1} << 16;

    ~Gzip() {
        if (started) inflateEnd(&stream);
    }
};

InputBytes::InputBytes(FileDescriptor fd) : fd_(std::move(fd)) {}
InputBytes::InputBytes(InputBytes&&) noexcept = default;
InputBytes& InputBytes::operator=(InputBytes&&) noexcept = default;
InputBytes::~InputBytes() = default;

Result<InputBytes> InputBytes::open(const std::string& path) {
    auto fd = open_file(path, O_RDONLY);
    if (!fd) return fail(std::move(fd.error()));
    return InputBytes(std::move(*fd));
}

Result<InputBytes> InputBytes::open_range(const std::string& path, std::uint64_t begin, std::uint64_t end) {
    auto bytes = open(path);
    if (!bytes) return fail(std::move(bytes.error()));
    if (::lseek(bytes->fd_.get(), static_cast<off_t>(begin), SEEK_SET) < 0) return fail(Error::from_errno(errno));
    bytes->left_ = end > begin ? end - begin : 0;
    bytes->sniffed_ = true;
    return bytes;
}

Status InputBytes::sniff() {
    // The first two bytes decide; a pipe may hand them over one at a time.
    sniffed_ = true;
    char head[2];
    while (head_.size() < 2) {
        auto got = read_file(std::span<char>(head, 2 - head_.size()));
        if (!got) return fail(std::move(got.error()));
        if (*got == 0) break;
        head_.append(head, *got);
    }
    if (head_ != "\x1f\x8b") return {};
    gzip_ = std::make_unique<Gzip>();
    // A 15-bit window with the gzip wrapper.
    if (inflateInit2(&gzip_->stream, 15 + 16) != Z_OK) return fail("cannot start a gzip decompressor");
    gzip_->started = true;
    return {};
}

Result<std::size_t> InputBytes::read_file(std::span<char> out) {
    if (head_used_ < head_.size()) {
        const std::size_t n = std::min(out.size(), head_.size() - head_used_);
        std::memcpy(out.data(), head_.data() + head_used_, n);
        head_used_ += n;
        return n;
    }
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), left_));
    if (want == 0) return 0;
    ssize_t got;
    do {
        got = ::read(fd_.get(), out.data(), want);
    } while (got < 0 && errno == EINTR);
    if (got < 0) return fail(Error::from_errno(errno));
    left_ -= static_cast<std::uint64_t>(got);
    return static_cast<std::size_t>(got);
}

Result<std::size_t> InputBytes::read(std::span<char> out) {
    if (!sniffed_)
        if (auto done = sniff(); !done) return fail(std::move(done.error()));
    if (!gzip_) return read_file(out);
    return inflate_into(out);
}

Result<std::size_t> InputBytes::inflate_into(std::span<char> out) {
    z_stream& z = gzip_->stream;
    while (true) {
        if (z.avail_in == 0 && !gzip_->input_ended) {
            auto got = read_file(std::span<char>(reinterpret_cast<char*>(gzip_->input.get()), Gzip::kInputSize));
            if (!got) return fail(std::move(got.error()));
            z.next_in = gzip_->input.get();
            z.avail_in = static_cast<uInt>(*got);
            gzip_->input_ended = *got == 0;
        }
        if (gzip_->member_ended) {
            if (z.avail_in == 0 && gzip_->input_ended) return 0;
            // Another member follows (every BGZF block is one).
            inflateReset(&z);
            gzip_->member_ended = false;
        }
        if (z.avail_in == 0 && gzip_->input_ended) return fail("gzip data ends before its last member does");
        const auto room = static_cast<uInt>(std::min<std::size_t>(out.size(), 1u << 30));
        z.next_out = reinterpret_cast<unsigned char*>(out.data());
        z.avail_out = room;
        const int rc = inflate(&z, Z_NO_FLUSH);
        if (rc == Z_STREAM_END) gzip_->member_ended = true;
        else if (rc != Z_OK && rc != Z_BUF_ERROR)
            return fail(fmt::format("gzip data is corrupt: {}", z.msg != nullptr ? z.msg : "inflate failed"));
        const std::size_t produced = room - z.avail_out;
        if (produced > 0) return produced;
    }
}

Result<bool> LineReader::fill() {
    if (at_eof_) return false;
    auto got = bytes_.read(std::span<char>(buffer_.get(), buffer_size));
    if (!got) return fail(std::move(got.error()));
    pos_ = 0;
    end_ = *got;
    if (*got == 0) at_eof_ = true;
    return *got > 0;
}

std::optional<std::string_view> LineReader::finish_line(std::string_view raw) {
    ++line_number_;
    if (!is_valid_utf8(raw)) return std::nullopt;
    while (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    return raw;
}

Result<std::optional<std::string_view>> LineReader::next() {
    spill_.clear();
    bool spilled = false;
    while (true) {
        if (pos_ < end_) {
            const char* start = buffer_.get() + pos_;
            const std::size_t avail = end_ - pos_;
            const char* nl = static_cast<const char*>(std::memchr(start, '\n', avail));
            const std::size_t len = nl ? static_cast<std::size_t>(nl - start) : avail;
            if (spill_.size() + len > max_line_length) {
                ++line_number_;
                return fail(fmt::format("line is longer than {} bytes", max_line_length));
            }
            if (nl) {
                pos_ += len + 1;
                std::string_view raw(start, len);
                if (spilled) {
                    spill_.append(raw);
                    raw = spill_;
                }
                auto line = finish_line(raw);
                if (!line) return fail("stream did not contain valid UTF-8");
                return line;
            }
            // The line goes on past this buffer fill: keep what we have.
            spill_.append(start, avail);
            spilled = true;
            pos_ = end_;
        }
        auto more = fill();
        if (!more) {
            ++line_number_;
            return fail(std::move(more.error()));
        }
        if (!*more) {
            if (!spilled) return std::optional<std::string_view>{};
            auto line = finish_line(spill_);
            if (!line) return fail("stream did not contain valid UTF-8");
            return line;
        }
    }
}

}  // namespace binscope::detail

namespace binscope {

Status for_each_line_in(const std::string& path, const std::optional<LineRange>& range, const LineErrors& errors,
                        const LineVisit& visit) {
    auto bytes = range ? detail::InputBytes::open_range(path, range->begin, range->end) : detail::InputBytes::open(path);
    if (!bytes) return fail(std::move(bytes.error()).context(errors.opening));
    detail::LineReader reader(std::move(*bytes), range ? range->first_line : 1);
    while (true) {
        auto next = reader.next();
        if (!next) {
            std::string where = fmt::format("{} line {}", errors.reading, reader.line_number());
            return fail(std::move(next.error()).context(std::move(where)));
        }
        if (!*next) return {};
        if (Status visited = visit(**next, reader.line_number()); !visited) return visited;
    }
}

Status for_each_line(const std::string& path, const LineErrors& errors, const LineVisit& visit) {
    return for_each_line_in(path, std::nullopt, errors, visit);
}

}  // namespace binscope
