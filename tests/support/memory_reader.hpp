// memory_reader.hpp - score files read from bytes in memory, optionally
// noting every read, so that tests see what a reader's caches spare it.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>

#include "bigwig/byte_source.hpp"
#include "bigwig/reader.hpp"

namespace binscope::testing {

// How often each offset was read.
using ReadLog = std::map<std::uint64_t, int>;

// A file's bytes held in memory; every read goes into the log, if any.
class MemorySource final : public bigwig::ByteSource {
public:
    explicit MemorySource(std::string bytes, ReadLog* log = nullptr)
        : ByteSource(bytes.size()), bytes_(std::move(bytes)), log_(log) {}

    Status read_at(std::uint64_t offset, std::span<std::uint8_t> out) override {
        if (log_) ++(*log_)[offset];
        if (!holds(offset, out.size())) return fail(bigwig::short_read());
        if (!out.empty()) std::memcpy(out.data(), bytes_.data() + offset, out.size());
        return {};
    }

private:
    std::string bytes_;
    ReadLog* log_;
};

inline std::unique_ptr<bigwig::ByteSource> memory_source(std::string bytes, ReadLog* log = nullptr) {
    return std::make_unique<MemorySource>(std::move(bytes), log);
}

// As BigWigReader::open, reading the file's bytes from memory; display_path
// stands for the path in the "Error when opening: " line.
inline Result<BigWigReader> open_memory(std::string bytes, const std::string& display_path) {
    return BigWigReader::open_source(memory_source(std::move(bytes)), display_path);
}

// A reader of bytes whose reads go into log; the log is cleared once the
// file is open.
inline BigWigReader open_counted(std::string bytes, ReadLog& log) {
    auto r = BigWigReader::open_source(memory_source(std::move(bytes), &log), "mem.bw");
    if (!r) throw std::runtime_error("open failed: " + r.error().message());
    log.clear();
    return std::move(*r);
}

}  // namespace binscope::testing
