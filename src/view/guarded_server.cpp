// guarded_server.cpp - the connection loop and its bounded stream.
#include "view/guarded_server.hpp"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace binscope {
namespace {

using Clock = std::chrono::steady_clock;

thread_local bool close_requested = false;

// Whether `sock` becomes ready for `events` within `wait`.
bool ready(socket_t sock, short events, std::chrono::milliseconds wait) {
    pollfd p{sock, events, 0};
    const auto deadline = Clock::now() + wait;
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const int n = ::poll(&p, 1, static_cast<int>(std::max<std::int64_t>(0, left.count())));
        if (n > 0) return (p.revents & (events | POLLHUP | POLLERR)) != 0;
        if (n == 0 || errno != EINTR) return false;
    }
}

void address_of(socket_t sock, bool peer, std::string& ip, int& port) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    const int rc = peer ? ::getpeername(sock, reinterpret_cast<sockaddr*>(&address), &length)
                        : ::getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length);
    if (rc != 0) return;
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
        ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
        port = ntohs(v4->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
        ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
        port = ntohs(v6->sin6_port);
    }
    ip = text;
}

}  // namespace

void BoundedStream::start_request() {
    handed_out_ = 0;
    deadline_ = Clock::now() + limits_.request_time;
}

bool BoundedStream::wait_for_request(std::chrono::milliseconds wait) {
    return !buffer_.empty() || ready(sock_, POLLIN, wait);
}

bool BoundedStream::is_readable() const {
    if (!buffer_.empty()) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
    return left.count() > 0 && ready(sock_, POLLIN, std::min(left, limits_.read_wait));
}

bool BoundedStream::is_writable() const { return ready(sock_, POLLOUT, limits_.write_wait); }

ssize_t BoundedStream::read(char* ptr, size_t size) {
    if (handed_out_ >= limits_.request_bytes) return -1;  // the request is too large: the connection ends
    if (buffer_.empty()) {
        if (!is_readable()) return -1;
        char chunk[4096];
        ssize_t n = -1;
        do n = ::recv(sock_, chunk, sizeof chunk, 0);
        while (n < 0 && errno == EINTR);
        if (n <= 0) return n;
        buffer_.assign(chunk, static_cast<std::size_t>(n));
    }
    const std::size_t count = std::min({size, buffer_.size(), limits_.request_bytes - handed_out_});
    std::copy_n(buffer_.data(), count, ptr);
    buffer_.erase(0, count);
    handed_out_ += count;
    return static_cast<ssize_t>(count);
}

ssize_t BoundedStream::write(const char* ptr, size_t size) {
    if (!is_writable()) return -1;
    ssize_t n = -1;
    do n = ::send(sock_, ptr, size, MSG_NOSIGNAL);
    while (n < 0 && errno == EINTR);
    return n;
}

void BoundedStream::get_remote_ip_and_port(std::string& ip, int& port) const { address_of(sock_, true, ip, port); }

void BoundedStream::get_local_ip_and_port(std::string& ip, int& port) const { address_of(sock_, false, ip, port); }

void GuardedServer::close_after_answer() { close_requested = true; }

bool GuardedServer::wait_for_request(BoundedStream& stream) const {
    const auto deadline = Clock::now() + limits_.idle;
    while (is_running() && Clock::now() < deadline)
        if (stream.wait_for_request(std::chrono::milliseconds(100))) return true;
    return false;
}

bool GuardedServer::process_and_close_socket(socket_t sock) {
    BoundedStream stream(sock, limits_);
    bool served = true;
    for (std::size_t left = limits_.requests; left > 0 && is_running(); --left) {
        if (!wait_for_request(stream)) break;
        stream.start_request();
        bool closed = false;
        close_requested = false;
        served = process_request(stream, left == 1, closed, [](httplib::Request&) {});
        if (!served || closed || close_requested) break;
    }
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return served;
}

}  // namespace binscope
