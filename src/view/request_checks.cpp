// request_checks.cpp - token cookie, Host and Origin checks.
#include "view/request_checks.hpp"

#include <algorithm>
#include <cctype>

namespace binscope {
namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

bool equal_ignoring_case(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// A port after the host name: empty, or ':' and 1 to 5 digits.
bool is_port_suffix(std::string_view rest) {
    if (rest.empty()) return true;
    if (rest.front() != ':' || rest.size() < 2 || rest.size() > 6) return false;
    return std::all_of(rest.begin() + 1, rest.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The host name of a Host header without its port ("[::1]" keeps its
// brackets), or nothing when the port part is malformed.
std::optional<std::string_view> host_name(std::string_view host) {
    std::size_t name_end = 0;
    if (host.starts_with('[')) {
        name_end = host.find(']');
        if (name_end == std::string_view::npos) return std::nullopt;
        ++name_end;
    } else {
        name_end = std::min(host.find(':'), host.size());
    }
    if (!is_port_suffix(host.substr(name_end))) return std::nullopt;
    return host.substr(0, name_end);
}

// An IPv4 address (four dotted decimal parts) or a bracketed IPv6 one.
bool is_ip_literal(std::string_view name) {
    if (name.size() > 2 && name.front() == '[' && name.back() == ']')
        return std::all_of(name.begin() + 1, name.end() - 1,
                           [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; });
    std::size_t parts = 0;
    while (true) {
        const std::size_t dot = std::min(name.find('.'), name.size());
        const std::string_view part = name.substr(0, dot);
        if (part.empty() || part.size() > 3 || !std::all_of(part.begin(), part.end(), [](char c) {
                return c >= '0' && c <= '9';
            }))
            return false;
        ++parts;
        if (dot == name.size()) break;
        name.remove_prefix(dot + 1);
    }
    return parts == 4;
}

}  // namespace

std::optional<std::string_view> cookie_value(std::string_view header, std::string_view name) {
    while (!header.empty()) {
        const std::size_t end = std::min(header.find(';'), header.size());
        const std::string_view pair = trim(header.substr(0, end));
        header.remove_prefix(std::min(end + 1, header.size()));
        const std::size_t eq = pair.find('=');
        if (eq != std::string_view::npos && trim(pair.substr(0, eq)) == name) return trim(pair.substr(eq + 1));
    }
    return std::nullopt;
}

bool host_allowed(std::string_view host_header, std::string_view bind_address) {
    const auto name = host_name(trim(host_header));
    if (!name || name->empty()) return false;
    if (*name == "127.0.0.1" || *name == "[::1]" || equal_ignoring_case(*name, "localhost")) return true;
    if (bind_address == "127.0.0.1" || bind_address == "::1" || equal_ignoring_case(bind_address, "localhost"))
        return false;
    // Bound to another interface: an address typed as such cannot be
    // rebound by a name server; no other name is accepted.
    return is_ip_literal(*name);
}

bool origin_allowed(std::string_view origin_header, std::string_view host_header) {
    const std::string_view origin = trim(origin_header);
    return origin.starts_with("http://") && equal_ignoring_case(origin.substr(7), trim(host_header));
}

std::string token_cookie(std::string_view token) {
    return std::string(kTokenCookie) + "=" + std::string(token) + "; Path=/; HttpOnly; SameSite=Strict";
}

}  // namespace binscope
