// error.hpp - the error value every stage returns: a message plus its causes.
#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <utility>
#include <vector>

namespace binscope {

// What a caller may have to tell apart without reading the text. Most
// errors are of no particular kind.
enum class ErrorKind : std::uint8_t {
    none,
    out_of_memory,  // an allocation failed: the run ends, wherever it happened
};

// An error is an ordered chain of messages, outermost first. A caller adds
// context by wrapping: std::move(inner).context("Opening x"). Nothing is
// printed where an error arises; the entry point prints the one report.
class Error {
public:
    Error() = default;
    explicit Error(std::string message) { chain_.push_back(std::move(message)); }
    Error(ErrorKind kind, std::string message) : chain_{std::move(message)}, kind_(kind) {}

    // Wraps this error in an outer message (which becomes the first line);
    // the kind stays.
    [[nodiscard]] Error context(std::string outer) &&;
    [[nodiscard]] Error context(std::string outer) const&;


    // The outermost message (empty for a default-constructed error).
    const std::string& message() const;
    // Causes, outermost first (the chain without its first message).
    std::vector<std::string> causes() const;
    const std::vector<std::string>& chain() const { return chain_; }
    ErrorKind kind() const { return kind_; }

    // An error from an errno value: "<strerror text> (os error N)".
    static Error from_errno(int err);

private:
    std::vector<std::string> chain_;
    ErrorKind kind_ = ErrorKind::none;
};

template <class T>
using Result = std::expected<T, Error>;

// For operations whose success carries no value.
using Status = std::expected<void, Error>;

inline std::unexpected<Error> fail(std::string message) { return std::unexpected(Error(std::move(message))); }
inline std::unexpected<Error> fail(Error e) { return std::unexpected(std::move(e)); }

// The final report written by the entry point: "Error: ...", then the causes.
std::string format_error_report(const Error& error);

}  // namespace binscope
