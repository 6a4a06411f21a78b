// text_input.hpp - line-by-line reading of text input files.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "error.hpp"
#include "file_descriptor.hpp"

namespace binscope {

// The context the errors of for_each_line get: `opening` around the
// system's error opening the file, `reading` and " line N" around the
// error reading line N.
struct LineErrors {
    std::string opening;
    std::string reading;
};

namespace detail {

// An input file read from its start: the one place the bytes of a text
// input come from. A file that starts with the gzip magic bytes is
// inflated here, member after member (so BGZF files too), without the
// line splitting above knowing.
class InputBytes {
public:
    // Opens path read-only; the error is the system's ("... (os error N)").
    static Result<InputBytes> open(const std::string& path);

    // The next bytes, at most out.size() of them; 0 at the end of the file.
    // Corrupt or truncated compressed data is an error naming the reason.
    Result<std::size_t> read(std::span<char> out);

    InputBytes(InputBytes&&) noexcept;
    InputBytes& operator=(InputBytes&&) noexcept;
    ~InputBytes();

private:
    struct Gzip;
    explicit InputBytes(FileDescriptor fd);
    Status sniff();
    Result<std::size_t> read_file(std::span<char> out);
    Result<std::size_t> inflate_into(std::span<char> out);

    FileDescriptor fd_;
    bool sniffed_ = false;
    std::string head_;  // the first bytes, read to look for the magic
    std::size_t head_used_ = 0;
    std::unique_ptr<Gzip> gzip_;  // null for plain text
};

// Splits the bytes of a file into lines read through an 8192-byte buffer.
class LineReader {
public:
    static constexpr std::size_t buffer_size = 8192;
    // A longer line is a read error rather than an unbounded allocation:
    // no region, annotation or blacklist line comes anywhere near it.
    static constexpr std::size_t max_line_length = std::size_t{256} << 20;

    explicit LineReader(InputBytes bytes) : bytes_(std::move(bytes)), buffer_(new char[buffer_size]) {}

    // The next line, or nothing at the end of the file. The view stays
    // valid until the next call. After an error, line_number() is the
    // number of the line that could not be read.
    Result<std::optional<std::string_view>> next();

    // Number of the line last returned (0 before the first).
    std::size_t line_number() const { return line_number_; }

private:
    // Reads more bytes into the buffer; false at the end of the file.
    Result<bool> fill();
    std::optional<std::string_view> finish_line(std::string_view raw);

    InputBytes bytes_;
    std::unique_ptr<char[]> buffer_;
    std::size_t pos_ = 0;  // next unread byte of buffer_
    std::size_t end_ = 0;  // bytes held in buffer_
    bool at_eof_ = false;
    std::string spill_;  // a line that spans more than one buffer fill
    std::size_t line_number_ = 0;
};

// `error` in the context errors.reading + " line " + line.
Error reading_error(Error error, const LineErrors& errors, std::size_t line);

}  // namespace detail

// Calls visit(line, number) for every line of the text file at path, in
// order, and stops at the first error: opening or reading the file (in the
// context `errors` gives) or one visit returns (passed on as it is). Lines
// are numbered from 1 and every line counts, blank ones included. Each
// line comes without its trailing '\r' and '\n' characters and stays valid
// only during its visit. Text that is not valid UTF-8 is a read error of
// the line that holds it.
template <class Visit>
Status for_each_line(const std::string& path, const LineErrors& errors, Visit&& visit) {
    auto bytes = detail::InputBytes::open(path);
    if (!bytes) return fail(std::move(bytes.error()).context(errors.opening));
    detail::LineReader reader(std::move(*bytes));
    while (true) {
        auto next = reader.next();
        if (!next) return fail(detail::reading_error(std::move(next.error()), errors, reader.line_number()));
        if (!*next) return {};
        if (Status visited = visit(**next, reader.line_number()); !visited) return visited;
    }
}

}  // namespace binscope
