// error.hpp - the error value every stage returns: a message plus its causes.
#pragma once

#include <expected>
#include <string>
#include <utility>
#include <vector>

namespace binscope {

// An error is an ordered chain of messages, outermost first. A caller adds
// context by wrapping: std::move(inner).context("Opening x"). Nothing is
// printed where an error arises; the entry point prints the one report.
class Error {
public:
    Error() = default;
    explicit Error(std::string message) { chain_.push_back(std::move(message)); }

    // Wraps this error in an outer message (which becomes the first line).
    [[nodiscard]] Error context(std::string outer) &&;
    [[nodiscard]] Error context(std::string outer) const&;

    // The outermost message (empty for a default-constructed error).
    const std::string& message() const;
    // Causes, outermost first (the chain without its first message).
    std::vector<std::string> causes() const;
    const std::vector<std::string>& chain() const { return chain_; }

    // An error from an errno value: "<strerror text> (os error N)".
    static Error from_errno(int err);

private:
    std::vector<std::string> chain_;
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
