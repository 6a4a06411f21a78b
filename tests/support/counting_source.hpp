// counting_source.hpp - a score file's bytes in memory that notes every
// read, so that tests see what a reader's caches spare it.
#pragma once

#include <cstdint>
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

class CountingSource : public bigwig::ByteSource {
public:
    CountingSource(std::string bytes, ReadLog& log)
        : CountingSource(bigwig::memory_source(std::move(bytes)), log) {}

    Status read_at(std::uint64_t offset, std::span<std::uint8_t> out) override {
        ++log_[offset];
        return inner_->read_at(offset, out);
    }

private:
    CountingSource(std::unique_ptr<bigwig::ByteSource> inner, ReadLog& log)
        : ByteSource(inner->size()), inner_(std::move(inner)), log_(log) {}

    std::unique_ptr<bigwig::ByteSource> inner_;
    ReadLog& log_;
};

// A reader of bytes whose reads go into log; the log is cleared once the
// file is open.
inline BigWigReader open_counted(std::string bytes, ReadLog& log) {
    auto r = BigWigReader::open_source(std::make_unique<CountingSource>(std::move(bytes), log), "mem.bw");
    if (!r) throw std::runtime_error("open failed: " + r.error().message());
    log.clear();
    return std::move(*r);
}

}  // namespace binscope::testing
