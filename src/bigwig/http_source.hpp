// http_source.hpp - a score file on a web server, read with range requests
// through the pages its readers share.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "bigwig/byte_source.hpp"
#include "bigwig/fetch_pool.hpp"
#include "bigwig/http_fetch.hpp"
#include "bigwig/page_store.hpp"
#include "error.hpp"

namespace binscope::bigwig {

// What the readers of one run share of their remote score files: one pool
// of requests in flight, and one page store per address.
class RemoteSession {
public:
    // At most per_host requests in flight per host; settings.cache_bytes
    // bounds each address's pages.
    RemoteSession(std::size_t per_host, const HttpSettings& settings);
    ~RemoteSession();
    RemoteSession(const RemoteSession&) = delete;
    RemoteSession& operator=(const RemoteSession&) = delete;

    // A source reading url (http:// or https://) through the session. The
    // first open of an address asks for its first bytes, which learns the
    // file's size; the error names what went wrong: an HTTP status, a
    // server without range support, a failed connection, TLS or timeout, a
    // short or overlong body, too many redirects, or an unbelievable size.
    Result<std::unique_ptr<ByteSource>> open(const std::string& url);

    // The most requests that were in flight at once.
    std::size_t most_in_flight() const { return pool_->most_in_flight(); }

private:
    std::shared_ptr<FetchPool> pool_;  // outlives the stores
    std::mutex mutex_;                 // guards stores_
    std::map<std::string, std::shared_ptr<PageStore>> stores_;
};

// Opens url on its own, one request in flight at a time, with a cache of
// settings.cache_bytes: RemoteSession::open for one source.
Result<std::unique_ptr<ByteSource>> open_http_source(const std::string& url, const HttpSettings& settings = {});

}  // namespace binscope::bigwig
