// http_fetch.hpp - ranged GET requests for one remote score file over one
// reused connection, each answer checked against what was asked.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "error.hpp"

namespace binscope::bigwig {

// How patient a remote source is. None of it changes what a run computes.
struct HttpSettings {
    std::chrono::milliseconds connect_timeout{15000};
    // A request that receives nothing for this long (rounded up to whole
    // seconds) has stalled.
    std::chrono::milliseconds stall_timeout{20000};
    std::chrono::milliseconds request_timeout{300000};
    // Tries per request; only failures that may pass are tried again.
    int attempts = 3;
    // The wait before the second try, four times longer before each next.
    std::chrono::milliseconds first_backoff{250};
    // Bytes a source keeps of the file.
    std::uint64_t cache_bytes = 8 << 20;
};

// Files larger than this are taken for a server's lie.
inline constexpr std::uint64_t kMaxRemoteFileSize = std::uint64_t{1} << 40;
// The most bytes one request may ask for.
inline constexpr std::uint64_t kMaxRequestBytes = 32 << 20;

// One connection's worth of ranged requests to url. Not thread-safe; one
// per reader.
class RangeFetcher {
public:
    RangeFetcher(std::string url, const HttpSettings& settings);
    ~RangeFetcher();
    RangeFetcher(RangeFetcher&&) noexcept;
    RangeFetcher& operator=(RangeFetcher&&) noexcept;

    // Fills out with the bytes at offset (out.size() at most
    // kMaxRequestBytes) and returns how many came. Fewer than asked only
    // when the file ends first and may_end_early is set; otherwise a short
    // answer is an error. Every answer must report the file size the first
    // one did.
    Result<std::size_t> fetch(std::uint64_t offset, std::span<std::uint8_t> out, bool may_end_early);

    // The file's size, once a request has succeeded.
    std::optional<std::uint64_t> file_size() const { return size_; }

    struct Handle;

private:
    // One try; sets retry when trying again may help.
    Result<std::size_t> try_fetch(std::uint64_t offset, std::span<std::uint8_t> out, bool may_end_early,
                                  bool& retry);

    std::unique_ptr<Handle> handle_;
    HttpSettings settings_;
    std::optional<std::uint64_t> size_;
};

}  // namespace binscope::bigwig
