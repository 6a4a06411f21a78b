// byte_source.hpp - positioned reads from a score file on disk or from its
// bytes in memory, behind one interface so both take the same parsing path.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "error.hpp"

namespace binscope::bigwig {

// The error of a read that came back short.
inline Error short_read() { return Error("failed to fill whole buffer"); }

class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Fills out with the bytes at [offset, offset + out.size()); a read that
    // comes back short is short_read(), a failed one the system's error.
    virtual Status read_at(std::uint64_t offset, std::span<std::uint8_t> out) = 0;

    // The size when the source was opened. Callers check claimed lengths
    // against it before allocating room for them.
    std::uint64_t size() const { return size_; }

    // True when [offset, offset + length) lies inside the source.
    bool holds(std::uint64_t offset, std::uint64_t length) const { return offset <= size_ && length <= size_ - offset; }

protected:
    explicit ByteSource(std::uint64_t size) : size_(size) {}

private:
    std::uint64_t size_;
};

// Opens path read-only; the error is the system's ("... (os error N)").
Result<std::unique_ptr<ByteSource>> open_file_source(const std::string& path);

std::unique_ptr<ByteSource> memory_source(std::string bytes);

}  // namespace binscope::bigwig
