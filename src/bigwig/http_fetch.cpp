// http_fetch.cpp - libcurl ranged requests: the handle's options, every
// answer's status, Content-Range and length checked, and which failures
// may pass.
#include "bigwig/http_fetch.hpp"

#include <curl/curl.h>
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <mutex>
#include <string_view>

#include "text_util.hpp"

namespace binscope::bigwig {

namespace {

constexpr long kMaxRedirects = 5;

std::string asked_range(std::uint64_t offset, std::size_t length) {
    return fmt::format("{}-{}", offset, offset + length - 1);
}

// Content-Range "bytes first-last/total"; nothing when it reads otherwise.
std::optional<std::array<std::uint64_t, 3>> parse_content_range(std::string_view text) {
    constexpr std::string_view unit = "bytes ";
    if (text.substr(0, unit.size()) != unit) return std::nullopt;
    text.remove_prefix(unit.size());
    std::array<std::uint64_t, 3> v{};
    const char* p = text.data();
    const char* end = text.data() + text.size();
    for (std::size_t i = 0; i < 3; ++i) {
        auto [next, ec] = std::from_chars(p, end, v[i]);
        if (ec != std::errc() || next == p) return std::nullopt;
        p = next;
        if (i < 2 && (p == end || *p++ != "-/"[i])) return std::nullopt;
    }
    if (p != end || v[1] < v[0]) return std::nullopt;
    return v;
}

// The status and Content-Range of an answer, against what was asked.
Status check_answer(Transfer& t) {
    t.checked = true;
    if (t.status == 200) return fail("server ignores range requests (HTTP status 200 instead of 206)");
    if (t.status != 206) {
        t.retry = t.status >= 500 || t.status == 429;
        return fail(fmt::format("server answered with HTTP status {}", t.status));
    }
    if (!t.content_range) return fail("server sent partial content without a Content-Range");
    auto range = parse_content_range(*t.content_range);
    if (!range) return fail(fmt::format("unreadable Content-Range: {}", *t.content_range));
    const auto [first, last, total] = *range;
    if (total > kMaxRemoteFileSize) return fail(fmt::format("server claims an absurd file size: {} bytes", total));
    if (t.known_size && total != *t.known_size)
        return fail(fmt::format("file size changed between requests: {} bytes, then {}", *t.known_size, total));
    const std::uint64_t length = last - first + 1;
    // Fewer bytes than asked only at the end of the file, and only when asked
    // for them before the size was known.
    const bool short_ok = t.may_end_early && last + 1 == total;
    if (first != t.offset || last >= total || length > t.out.size() || (length < t.out.size() && !short_ok))
        return fail(fmt::format("server sent bytes {}-{} when asked for {}", first, last,
                                asked_range(t.offset, t.out.size())));
    t.total = total;
    t.expected = static_cast<std::size_t>(length);
    return {};
}

// The value of a header line named `name` (lower case, with its colon),
// without leading blanks.
std::optional<std::string_view> header_value(std::string_view line, std::string_view name) {
    if (line.size() < name.size() || !equals_ignore_case(line.substr(0, name.size()), name)) return std::nullopt;
    line.remove_prefix(name.size());
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    return line;
}

std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    std::string_view line(data, size * count);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
    constexpr std::string_view range_name = "content-range:";
    if (line.substr(0, 5) == "HTTP/") {
        const std::size_t space = line.find(' ');
        t.status = 0;
        t.content_range.reset();
        t.retry_after.reset();
        if (space != std::string_view::npos)
            std::from_chars(line.data() + space + 1, line.data() + line.size(), t.status);
    } else if (auto value = header_value(line, range_name)) {
        t.content_range = std::string(*value);
    } else if (auto value = header_value(line, "retry-after:")) {
        // Seconds only; a date is taken for no advice.
        long seconds = 0;
        auto [end, ec] = std::from_chars(value->data(), value->data() + value->size(), seconds);
        if (ec == std::errc() && end == value->data() + value->size() && seconds >= 0)
            t.retry_after = std::chrono::seconds(seconds);
    }
    return size * count;
}

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    if (!t.checked) {
        if (auto r = check_answer(t); !r) {
            t.error = std::move(r.error());
            return 0;
        }
    }
    if (n > t.expected - t.received) {
        t.error = Error(fmt::format("server sent more than the {} bytes asked for", t.expected));
        return 0;
    }
    std::memcpy(t.out.data() + t.received, data, n);
    t.received += n;
    return n;
}

bool is_tls_failure(CURLcode code) {
    switch (code) {
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_USE_SSL_FAILED: return true;
    default: return false;
    }
}

// The error of a transfer libcurl gave up on.
Error transfer_error(CURLcode code, CURL* curl, bool& retry) {
    retry = true;
    if (code == CURLE_COULDNT_CONNECT) {
        long os_error = 0;
        curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &os_error);
        if (os_error == 0) return Error(fmt::format("could not connect: {}", curl_easy_strerror(code)));
        return Error(fmt::format("could not connect: {}", Error::from_errno(static_cast<int>(os_error)).message()));
    }
    // Connecting or waiting for data: either way the server kept the run waiting.
    if (code == CURLE_OPERATION_TIMEDOUT) return Error("timed out waiting for the server");
    retry = false;
    if (code == CURLE_TOO_MANY_REDIRECTS) return Error(fmt::format("too many redirects (more than {})", kMaxRedirects));
    if (is_tls_failure(code)) return Error(fmt::format("TLS failure: {}", curl_easy_strerror(code)));
    retry = code != CURLE_UNSUPPORTED_PROTOCOL && code != CURLE_URL_MALFORMAT;
    return Error(fmt::format("transfer failed: {}", curl_easy_strerror(code)));
}

}  // namespace

void start_libcurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CURL* new_range_handle(const HttpSettings& settings) {
    start_libcurl();
    CURL* c = curl_easy_init();
    if (!c) return nullptr;
    const long stall_seconds = static_cast<long>((settings.stall_timeout.count() + 999) / 1000);
    // Some servers refuse requests that do not say who sends them.
    curl_easy_setopt(c, CURLOPT_USERAGENT, "binscope");
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    // HTTP/2 where the server offers it over TLS; a new request waits for a
    // connection that may carry it alongside others before opening one more.
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_2TLS));
    curl_easy_setopt(c, CURLOPT_PIPEWAIT, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(settings.connect_timeout.count()));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(settings.request_timeout.count()));
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, std::max(stall_seconds, 1L));
    curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, on_header);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, on_body);
    return c;
}

void aim_range_handle(CURL* c, const std::string& url, Transfer& t) {
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_RANGE, asked_range(t.offset, t.out.size()).c_str());
    curl_easy_setopt(c, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
}

Result<std::size_t> conclude_transfer(Transfer& t, CURLcode code, CURL* c, bool& retry) {
    retry = false;
    if (t.error) {
        retry = t.retry;
        return fail(std::move(*t.error));
    }
    const bool answered = code == CURLE_OK || (code == CURLE_PARTIAL_FILE && t.status != 0);
    if (answered && !t.checked) {
        if (auto r = check_answer(t); !r) {
            retry = t.retry;
            return fail(std::move(r.error()));
        }
    }
    if (answered && t.received < t.expected) {
        retry = true;
        return fail(fmt::format("body shorter than asked: {} of {} bytes", t.received, t.expected));
    }
    if (code != CURLE_OK) return fail(transfer_error(code, c, retry));
    return t.received;
}

}  // namespace binscope::bigwig

