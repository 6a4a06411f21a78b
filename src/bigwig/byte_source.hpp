// byte_source.hpp - positioned reads from a score file on disk or on a
// web server, behind one interface so both take the same parsing path.
#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <span>
#include <string>

#include "error.hpp"

namespace binscope::bigwig {

// The error of a read that came back short.
inline Error short_read() { return Error("failed to fill whole buffer"); }

// A stretch [offset, offset + size) of a source's bytes.
struct ByteRange {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

class ByteSource {
public:
    virtual ~ByteSource() = default;

    // Fills out with the bytes at [offset, offset + out.size()); a read that
    // comes back short is short_read(), a failed one the system's error.
    virtual Status read_at(std::uint64_t offset, std::span<std::uint8_t> out) = 0;

    // Tells the source that these ranges are about to be read. A source
    // that pays per request fetches them in few requests; the error is the
    // one their reads would give. Others do nothing.
    virtual Status prefetch(std::span<const ByteRange> ranges) {
        (void)ranges;
        return {};
    }

    // Starts fetching ranges that will be read soon, without waiting for
    // them; the bytes asked for. Their failures are left for the reads to
    // meet. Sources that read where they stand ask for nothing.
    virtual std::uint64_t read_ahead(std::span<const ByteRange> ranges) {
        (void)ranges;
        return 0;
    }

    // The size when the source was opened. Callers check claimed lengths
    // against it before allocating room for them.
    std::uint64_t size() const { return size_; }

    // True when [offset, offset + length) lies inside the source and is no
    // longer than one read may be: a remote source's claimed size is not
    // memory anyone can be trusted to fill.
    bool holds(std::uint64_t offset, std::uint64_t length) const {
        return offset <= size_ && length <= size_ - offset && length <= max_read_;
    }

protected:
    explicit ByteSource(std::uint64_t size, std::uint64_t max_read = std::numeric_limits<std::uint64_t>::max())
        : size_(size), max_read_(max_read) {}

private:
    std::uint64_t size_;
    std::uint64_t max_read_;
};

// Opens path read-only; the error is the system's ("... (os error N)").
Result<std::unique_ptr<ByteSource>> open_file_source(const std::string& path);

}  // namespace binscope::bigwig
