// text_input.hpp - line-by-line reading of text input files.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "error.hpp"

namespace binscope {

// Reads a text file line by line through an 8192-byte buffer. Lines are
// numbered from 1 and every line counts, blank ones included. Each line
// comes without its trailing '\r' and '\n' characters. Text that is not
// valid UTF-8 is a read error, reported on the line that holds it.
class LineReader {
public:
    static constexpr std::size_t buffer_size = 8192;
    // A longer line is a read error rather than an unbounded allocation:
    // no region, annotation or blacklist line comes anywhere near it.
    static constexpr std::size_t max_line_length = std::size_t{256} << 20;

    // Opens path read-only; the error is the system's ("... (os error N)").
    static Result<LineReader> open(const std::string& path);

    LineReader(LineReader&& other) noexcept;
    LineReader& operator=(LineReader&& other) noexcept;
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    ~LineReader();

    // The next line, or nothing at the end of the file. The view stays
    // valid until the next call. After an error, line_number() is the
    // number of the line that could not be read.
    Result<std::optional<std::string_view>> next();

    // Number of the line last returned (0 before the first).
    std::size_t line_number() const { return line_number_; }

private:
    explicit LineReader(int fd);
    // Reads more bytes into the buffer; false at the end of the file.
    Result<bool> fill();
    std::optional<std::string_view> finish_line(std::string_view raw);

    int fd_ = -1;
    std::unique_ptr<char[]> buffer_;
    std::size_t pos_ = 0;  // next unread byte of buffer_
    std::size_t end_ = 0;  // bytes held in buffer_
    bool at_eof_ = false;
    std::string spill_;  // a line that spans more than one buffer fill
    std::size_t line_number_ = 0;
};

}  // namespace binscope
