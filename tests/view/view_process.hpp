// view_process.hpp - a `view` server started as a process for the tests,
// and an HTTP client (libcurl) to talk to it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace binscope::testing {

// The server runs `program` with `args`: by default `view_serve` (the
// settings-record entry point), or `binscope` with "view" first. Its first
// line of output gives the address and token.
class ViewProcess {
public:
    // Standard error goes to `error_path` when one is given.
    explicit ViewProcess(const std::vector<std::string>& args, const std::string& error_path = "",
                         const std::string& program = VIEW_SERVE_EXE);
    ~ViewProcess();
    ViewProcess(const ViewProcess&) = delete;
    ViewProcess& operator=(const ViewProcess&) = delete;

    const std::string& first_line() const { return first_line_; }
    const std::string& token() const { return token_; }
    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    // "http://127.0.0.1:PORT" + path.
    std::string url(const std::string& path) const;

    // Sends `signal` and waits up to `limit` for the exit; the exit status,
    // or nothing when the process did not end (it is killed then).
    std::optional<int> stop(int signal, std::chrono::milliseconds limit);

private:
    pid_t pid_ = -1;
    std::string first_line_;
    std::string token_;
    int port_ = 0;
};

struct HttpReply {
    long status = 0;
    std::string body;
    std::map<std::string, std::string> headers;  // names in lower case
    long new_connections = 0;                    // connections opened for this request
    std::string error;                           // libcurl's, when the transfer failed
};

// One libcurl handle: requests through it reuse its connection when the
// server keeps it open.
class HttpClient {
public:
    HttpClient();
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // GET `url` with extra header lines ("Name: value"); `abort_after`
    // bytes of body end the transfer early (0: never).
    HttpReply get(const std::string& url, const std::vector<std::string>& headers = {}, std::size_t abort_after = 0);

private:
    void* curl_;
};

// The bytes a raw TCP connection to 127.0.0.1:port gets back for `request`
// (read until the server closes or a second passes).
std::string raw_exchange(int port, const std::string& request);

}  // namespace binscope::testing
