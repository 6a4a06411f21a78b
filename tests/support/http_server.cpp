// http_server.cpp - the test server: one thread accepting, one per
// connection, requests answered in order on each connection.
#include "support/http_server.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace binscope::testing {

namespace {

bool send_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The value of the request's Range header, or "".
std::string range_header(const std::string& request) {
    for (std::size_t at = request.find("\r\n"); at != std::string::npos; at = request.find("\r\n", at + 2)) {
        std::string name = request.substr(at + 2, 6);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (name == "range:") return request.substr(at + 8, request.find("\r\n", at + 2) - at - 8);
    }
    return "";
}

}  // namespace

HttpServer::HttpServer() {
    // Requests to this server go straight to it, whatever proxy the
    // environment names.
    ::setenv("no_proxy", "127.0.0.1", 1);
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_fd_, 64) != 0 || ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
        throw std::runtime_error("test server: cannot listen on 127.0.0.1");
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { accept_loop(); });
}

HttpServer::~HttpServer() {
    stopping_ = true;
    ::shutdown(listen_fd_, SHUT_RDWR);
    acceptor_.join();
    for (int fd : connections_) ::shutdown(fd, SHUT_RDWR);
    for (std::thread& t : threads_) t.join();
    for (int fd : connections_) ::close(fd);
    ::close(listen_fd_);
}

void HttpServer::serve(const std::string& path, std::string bytes) {
    std::lock_guard lock(mutex_);
    files_[path] = std::move(bytes);
}

void HttpServer::set_fault(ServerFault fault, int times) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
    fault_times_ = times;
}

std::string HttpServer::url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

ServerFault HttpServer::next_fault() {
    std::lock_guard lock(mutex_);
    if (fault_times_ == 0) return ServerFault::none;
    if (fault_times_ > 0) --fault_times_;
    return fault_;
}

void HttpServer::accept_loop() {
    while (!stopping_) {
        const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            return;
        }
        // Heads and bodies go out in separate writes: without this, each
        // body waits for the client's delayed acknowledgement of its head.
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        // Only this thread adds connections, and the destructor reads them
        // after joining it; the lock orders the additions with the workers.
        std::lock_guard lock(mutex_);
        connections_.push_back(fd);
        threads_.emplace_back([this, fd] { serve_connection(fd); });
    }
}

void HttpServer::serve_connection(int fd) {
    std::string buffer;
    char chunk[4096];
    while (!stopping_) {
        // A TLS handshake record: answered in plain text, as a plain server does.
        if (!buffer.empty() && buffer[0] == '\x16') {
            send_all(fd, "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
            break;
        }
        const std::size_t end = buffer.find("\r\n\r\n");
        if (end == std::string::npos) {
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0) break;
            buffer.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        const std::string request = buffer.substr(0, end + 2);
        buffer.erase(0, end + 4);
        ++requests_;
        const std::uint64_t now = ++in_flight_;
        for (std::uint64_t most = most_in_flight_; now > most && !most_in_flight_.compare_exchange_weak(most, now);) {
        }
        if (const auto delay = delay_ms_.load(); delay > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
        const bool go_on = answer(fd, request);
        --in_flight_;
        if (!go_on) break;
    }
    ::shutdown(fd, SHUT_RDWR);
}

bool HttpServer::answer(int fd, const std::string& request) {
    const std::size_t target_at = request.find(' ') + 1;
    const std::string target = request.substr(target_at, request.find(' ', target_at) - target_at);
    const ServerFault fault = next_fault();
    const std::string* file = nullptr;
    {
        std::lock_guard lock(mutex_);
        // Files are only added, so the pointer stays valid unlocked.
        if (auto it = files_.find(target.substr(0, target.find('?'))); it != files_.end()) file = &it->second;
    }
    if (fault == ServerFault::stall) return true;
    if (fault == ServerFault::drop) return false;
    if (fault == ServerFault::unavailable)
        return send_all(fd, "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\n\r\n");
    if (fault == ServerFault::too_many)
        return send_all(fd, "HTTP/1.1 429 Too Many Requests\r\nRetry-After: 1\r\nContent-Length: 0\r\n\r\n");
    if (fault == ServerFault::not_found || !file) return send_all(fd, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    if (fault == ServerFault::redirect_loop)
        return send_all(fd, "HTTP/1.1 302 Found\r\nLocation: " + target + "\r\nContent-Length: 0\r\n\r\n");
    const std::uint64_t size = file->size();
    std::uint64_t first = 0, last = 0;
    const std::string range = range_header(request);
    if (range.empty() || fault == ServerFault::ignore_range ||
        std::sscanf(range.c_str(), " bytes=%lu-%lu", &first, &last) != 2) {
        bytes_sent_ += size;
        return send_all(fd, "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n") &&
               send_all(fd, *file);
    }
    if (first >= size)
        return send_all(fd, "HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */" + std::to_string(size) +
                                "\r\nContent-Length: 0\r\n\r\n");
    last = std::min(last, size - 1);
    std::uint64_t total = size;
    if (fault == ServerFault::changing_size) total += requests_;
    if (fault == ServerFault::absurd_size) total = std::uint64_t{1} << 62;
    const std::uint64_t length = last - first + 1;
    std::string head = "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
                       std::to_string(last) + "/" + std::to_string(total) + "\r\n";
    head += fault == ServerFault::long_body ? "Connection: close\r\n\r\n"
                                            : "Content-Length: " + std::to_string(length) + "\r\n\r\n";
    const std::uint64_t sent = fault == ServerFault::short_body ? length / 2 : length;
    bytes_sent_ += sent;
    if (!send_all(fd, head) || !send_all(fd, std::string_view(*file).substr(first, sent))) return false;
    if (fault == ServerFault::long_body)
        while (!stopping_ && send_all(fd, std::string(1 << 16, 'x'))) {
        }
    return fault != ServerFault::short_body && fault != ServerFault::long_body;
}

}  // namespace binscope::testing
