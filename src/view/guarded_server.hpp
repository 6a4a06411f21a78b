// guarded_server.hpp - the HTTP server with every connection read through
// a stream that bounds each request in bytes and in time.
#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <string>

namespace binscope {

// Bounds of one connection and of each request on it.
struct ConnectionLimits {
    std::size_t request_bytes = 32 * 1024;                     // request line, headers and body together
    std::chrono::milliseconds request_time{10000};             // from its first byte to its last
    std::chrono::milliseconds read_wait{5000};                 // for each read
    std::chrono::milliseconds write_wait{10000};               // for each write
    std::chrono::milliseconds idle{2000};                      // between requests on a kept-alive connection
    std::size_t requests = 200;                                // on one connection
};

// A socket read and written with the limits above; bytes read ahead of
// the current request are kept for the next one.
class BoundedStream : public httplib::Stream {
public:
    BoundedStream(socket_t sock, const ConnectionLimits& limits) : sock_(sock), limits_(limits) {}

    // Starts the byte and time budgets of the next request.
    void start_request();
    // Whether a byte is waiting within `wait` (false when the peer left).
    bool wait_for_request(std::chrono::milliseconds wait);

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override { return sock_; }

private:
    socket_t sock_;
    ConnectionLimits limits_;
    std::string buffer_;  // read from the socket, not yet handed out
    std::size_t handed_out_ = 0;
    std::chrono::steady_clock::time_point deadline_{};
};

// httplib's own connection loop leaves the number of header lines and the
// time a request takes unbounded; this server serves each connection with
// its own loop over a BoundedStream instead, through the library's
// request processing.
class GuardedServer : public httplib::Server {
public:
    explicit GuardedServer(ConnectionLimits limits) : limits_(limits) {}

    // Called while answering a request (on its thread): the connection
    // closes once the answer is written, whatever the library decides.
    static void close_after_answer();

private:
    bool process_and_close_socket(socket_t sock) override;
    // The next request's first byte within the idle time, while running.
    bool wait_for_request(BoundedStream& stream) const;

    ConnectionLimits limits_;
};

}  // namespace binscope
