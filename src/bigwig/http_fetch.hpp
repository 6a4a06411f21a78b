// http_fetch.hpp - one ranged GET request's libcurl handle and the checks
// of its answer against what was asked; the pool of requests in flight
// (fetch_pool) drives them.
#pragma once

#include <curl/curl.h>

#include <chrono>
#include <cstdint>
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
    // A Retry-After of a 429 or 503 answer lengthens the wait up to this.
    std::chrono::milliseconds max_retry_after{10000};
    // Bytes a file's page cache keeps.
    std::uint64_t cache_bytes = 8 << 20;
};

// Files larger than this are taken for a server's lie.
inline constexpr std::uint64_t kMaxRemoteFileSize = std::uint64_t{1} << 40;
// The most bytes one request may ask for.
inline constexpr std::uint64_t kMaxRequestBytes = 32 << 20;

// What one try of a request learns; the handle's callbacks fill it.
struct Transfer {
    std::span<std::uint8_t> out;  // room for the bytes asked for
    std::uint64_t offset = 0;
    bool may_end_early = false;
    std::optional<std::uint64_t> known_size;
    long status = 0;  // of the last response: redirects pass through
    std::optional<std::string> content_range;
    std::optional<std::chrono::seconds> retry_after;
    bool checked = false;  // the answer's head has been checked
    std::uint64_t total = 0;
    std::size_t expected = 0;
    std::size_t received = 0;
    std::optional<Error> error;  // a callback's reason to stop
    bool retry = false;
};

// Readies libcurl for the process, once.
void start_libcurl();

// A new handle with the options every request shares; null when libcurl
// cannot make one.
CURL* new_range_handle(const HttpSettings& settings);

// Points the handle at url and the range of t (t.out from t.offset), its
// callbacks filling t.
void aim_range_handle(CURL* c, const std::string& url, Transfer& t);

// The outcome of a finished try: the bytes received, or the error and, in
// retry, whether another try may help.
Result<std::size_t> conclude_transfer(Transfer& t, CURLcode code, CURL* c, bool& retry);

}  // namespace binscope::bigwig
