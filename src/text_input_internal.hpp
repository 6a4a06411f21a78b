// text_input_internal.hpp - the bytes of a text input file and their
// splitting into lines, behind for_each_line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "error.hpp"
#include "file_descriptor.hpp"
#include "text_input.hpp"

namespace binscope {

namespace detail {

// An input file read from its start: the one place the bytes of a text
// input come from. A file that starts with the gzip magic bytes is
// inflated here, member after member (so BGZF files too), without the
// line splitting above knowing.
class InputBytes {
public:
    // Opens path read-only; the error is the system's ("... (os error N)").
    static Result<InputBytes> open(const std::string& path);
    // The raw bytes [begin, end) of the file at path, never inflated: a
    // range of a compressed file is no compressed stream of its own.
    static Result<InputBytes> open_range(const std::string& path, std::uint64_t begin, std::uint64_t end);

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
    std::uint64_t left_ = UINT64_MAX;  // bytes of the file still to read
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

    // The first line read gets the number first_line.
    explicit LineReader(InputBytes bytes, std::size_t first_line = 1)
        : bytes_(std::move(bytes)), buffer_(new char[buffer_size]), line_number_(first_line - 1) {}

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

}  // namespace detail

}  // namespace binscope
