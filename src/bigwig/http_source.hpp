// http_source.hpp - a score file on a web server, read with range requests
// through a bounded cache of aligned pages.
#pragma once

#include <memory>
#include <string>

#include "bigwig/byte_source.hpp"
#include "bigwig/http_fetch.hpp"
#include "error.hpp"

namespace binscope::bigwig {

// Bytes per cached page; requests start and end on page bounds (or at the
// end of the file).
inline constexpr std::uint64_t kPageBytes = 32 << 10;
// The first request asks for this much, which usually holds the header and
// the chromosome tree.
inline constexpr std::uint64_t kFirstRequestBytes = 64 << 10;

// Opens url (http:// or https://) with a first ranged request, which learns
// the file's size. The error names what went wrong: an HTTP status, a
// server without range support, a failed connection, TLS or timeout, a
// short or overlong body, too many redirects, or an unbelievable size.
Result<std::unique_ptr<ByteSource>> open_http_source(const std::string& url, const HttpSettings& settings = {});

}  // namespace binscope::bigwig
