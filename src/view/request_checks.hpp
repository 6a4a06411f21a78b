// request_checks.hpp - the checks every request to a `view` server passes
// before any work: its secret, the name it was sent to and its origin.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace binscope {

// The cookie the page trades the token for.
inline constexpr std::string_view kTokenCookie = "binscope_token";

// The value of cookie `name` in a Cookie header ("a=1; b=2"), if present.
std::optional<std::string_view> cookie_value(std::string_view cookie_header, std::string_view name);

// Whether a Host header names this machine's loopback interface:
// 127.0.0.1, localhost or [::1], with any port or none (so that a tunnel
// to another local port works); when the server is bound to another
// interface, also any address written as digits (IPv4, or IPv6 in
// brackets). Any other name could be one an attacker's name server points
// at this machine.
bool host_allowed(std::string_view host_header, std::string_view bind_address);

// Whether an Origin header (when the browser sent one) is this server as
// the request's Host names it: "http://" + host. "null" and every other
// site are refused.
bool origin_allowed(std::string_view origin_header, std::string_view host_header);

// The Set-Cookie value that gives the page the token: sent back only to
// this site, never readable by scripts.
std::string token_cookie(std::string_view token);

}  // namespace binscope
