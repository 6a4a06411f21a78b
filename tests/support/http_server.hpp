// http_server.hpp - a small HTTP/1.1 file server on 127.0.0.1 for the tests
// of remote score files: keep-alive, Range support and switchable faults.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace binscope::testing {

enum class ServerFault {
    none,
    not_found,      // 404 for every path
    ignore_range,   // 200 with the whole file
    short_body,     // half the range asked for, then the connection closes
    stall,          // never answers
    redirect_loop,  // 302 to the same path
    changing_size,  // a file size one larger on every answer
    absurd_size,    // a file size of 2^62
    long_body,      // the range asked for, then more until the client leaves
    unavailable,    // 503
    too_many,       // 429 with Retry-After: 1
    drop,           // the connection closed without an answer
};

class HttpServer {
public:
    // Listens on an ephemeral port of 127.0.0.1 from its own thread.
    HttpServer();
    // Closes every connection and joins the threads.
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Serves bytes at path ("/x.bw").
    void serve(const std::string& path, std::string bytes);
    // Answers the next `times` requests (every one when negative) with fault.
    void set_fault(ServerFault fault, int times = -1);
    // "http://127.0.0.1:<port>" + path.
    std::string url(std::string_view path) const;

    // Waits this long before answering every request, as a distant server
    // does.
    void set_delay(std::chrono::milliseconds delay) { delay_ms_ = delay.count(); }

    std::uint64_t requests() const { return requests_; }
    std::uint64_t bytes_sent() const { return bytes_sent_; }
    // The most requests being answered at once.
    std::uint64_t most_in_flight() const { return most_in_flight_; }

private:
    void accept_loop();
    void serve_connection(int fd);
    // Answers one request; false when the connection is to be closed.
    bool answer(int fd, const std::string& request);
    ServerFault next_fault();

    int listen_fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::uint64_t> requests_{0}, bytes_sent_{0};
    std::atomic<std::uint64_t> in_flight_{0}, most_in_flight_{0};
    std::atomic<std::int64_t> delay_ms_{0};
    std::mutex mutex_;  // guards what follows
    std::map<std::string, std::string> files_;
    ServerFault fault_ = ServerFault::none;
    int fault_times_ = 0;
    std::vector<int> connections_;
    std::vector<std::thread> threads_;
    std::thread acceptor_;
};

}  // namespace binscope::testing
