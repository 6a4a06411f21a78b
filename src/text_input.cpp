// text_input.cpp - buffered line reading with UTF-8 checks.
#include "text_input.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fmt/format.h>

#include "utf8.hpp"

namespace binscope::detail {

Result<InputBytes> InputBytes::open(const std::string& path) {
    auto fd = open_file(path, O_RDONLY);
    if (!fd) return fail(std::move(fd.error()));
    return InputBytes(std::move(*fd));
}

Result<std::size_t> InputBytes::read(std::span<char> out) {
    ssize_t got;
    do {
        got = ::read(fd_.get(), out.data(), out.size());
    } while (got < 0 && errno == EINTR);
    if (got < 0) return fail(Error::from_errno(errno));
    return static_cast<std::size_t>(got);
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

Error reading_error(Error error, const LineErrors& errors, std::size_t line) {
    return std::move(error).context(fmt::format("{} line {}", errors.reading, line));
}

}  // namespace binscope::detail
