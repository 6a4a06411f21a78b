// view_server.hpp - the `view` run: read the matrix once, serve the page
// and its data on a local port until interrupted.
#pragma once

#include <string>

#include "error.hpp"
#include "view/view_settings.hpp"

namespace binscope {

// Bytes of a request's body (requests are GETs: no body to speak of).
inline constexpr std::size_t kMaxPayloadBytes = 1024;
// Accepted connections waiting for a thread.
inline constexpr std::size_t kConnectionQueue = 16;

// The warning printed (to standard error) when the server listens on an
// address other than 127.0.0.1.
std::string bind_warning(const std::string& address);

// Checks a --browserLink template: http:// or https://, and each of
// {chrom}, {start}, {end} at most once.
Status check_browser_link(const std::string& link);

// Reads the matrix, starts the server and prints its address with the
// token as the first line of standard output; returns once SIGINT or
// SIGTERM arrives. Errors: the matrix, the address or port.
Status run_view(const ViewSettings& settings);

}  // namespace binscope
