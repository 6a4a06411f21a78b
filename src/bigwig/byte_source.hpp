// byte_source.hpp - positioned reads from a score file on disk or from its
// bytes in memory, behind one interface so both take the same parsing path.
#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <span>
#include <string>

namespace binscope::bigwig {

// A failed or short read: the text callers print.
struct IoFailure {
    std::string text;
};

// The text of a read that came back short.
inline constexpr const char* kShortReadText = "failed to fill whole buffer";

class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Fills out with the bytes at [offset, offset + out.size()); a read that
    // comes back short is an IoFailure with kShortReadText.
    virtual std::expected<void, IoFailure> read_at(std::uint64_t offset, std::span<std::uint8_t> out) = 0;

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

// Opens path read-only; on failure the errno value.
std::expected<std::unique_ptr<ByteSource>, int> open_file_source(const std::string& path);

std::unique_ptr<ByteSource> memory_source(std::string bytes);

}  // namespace binscope::bigwig
