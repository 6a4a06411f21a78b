// view_server.cpp - the HTTP server (cpp-httplib, Debian's libcpp-httplib-
// dev): every request passes the token, Host and Origin checks before
// anything else; every answer carries the security headers; limits are
// set here, none left at the library's defaults; SIGINT and SIGTERM stop it.
#include "view/view_server.hpp"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fmt/format.h>
#include <httplib.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <pthread.h>
#include <thread>

#include "matrix_file/matrix_file.hpp"
#include "view/bounded_pool.hpp"
#include "view/guarded_server.hpp"
#include "view/request_checks.hpp"
#include "view/token.hpp"
#include "view/view_model.hpp"
#include "view/view_routes.hpp"

namespace binscope {
namespace {

using httplib::Request;
using httplib::Response;

// A server that has not finished within this after a stop signal ends the
// process at once (a k-means run cannot be interrupted).
constexpr auto kStopGrace = std::chrono::milliseconds(800);

void refuse(Response& res, std::string_view why) {
    res.status = 403;
    res.set_header("Connection", "close");
    GuardedServer::close_after_answer();
    res.set_content(fmt::format("Forbidden: {}\n", why), "text/plain; charset=utf-8");
}

void add_security_headers(Response& res) {
    res.set_header("Content-Security-Policy",
                   "default-src 'self'; img-src 'self'; frame-ancestors 'none'; base-uri 'none'; form-action 'none'");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("X-Frame-Options", "DENY");
    res.set_header("Cross-Origin-Resource-Policy", "same-origin");
}

// The checks before routing, the token first: a request that fails one is
// answered 403 and its connection closed.
httplib::Server::HandlerResponse check_request(const Request& req, Response& res, const std::string& token,
                                               const std::string& bind_address) {
    const std::string cookie = req.get_header_value("Cookie");
    const auto from_cookie = cookie_value(cookie, kTokenCookie);
    const bool query_token = req.has_param("token");
    const bool valid = query_token ? token_matches(req.get_param_value("token"), token)
                                   : from_cookie && token_matches(*from_cookie, token);
    if (!valid) {
        refuse(res, "a valid token is needed: open the address binscope view printed");
        return httplib::Server::HandlerResponse::Handled;
    }
    if (!host_allowed(req.get_header_value("Host"), bind_address)) {
        refuse(res, "the Host header must name 127.0.0.1, localhost or [::1]");
        return httplib::Server::HandlerResponse::Handled;
    }
    if (req.has_header("Origin") && !origin_allowed(req.get_header_value("Origin"), req.get_header_value("Host"))) {
        refuse(res, "requests from another site are refused");
        return httplib::Server::HandlerResponse::Handled;
    }
    if (query_token && req.path == "/") res.set_header("Set-Cookie", token_cookie(token));
    return httplib::Server::HandlerResponse::Unhandled;
}

void configure(GuardedServer& server, std::size_t threads, const std::string& token, const std::string& bind) {
    server.new_task_queue = [threads] { return new BoundedPool(std::max<std::size_t>(4, 2 * threads), kConnectionQueue); };
    // Read and write times, request sizes and kept-alive connections are
    // bounded by the GuardedServer's ConnectionLimits.
    server.set_payload_max_length(kMaxPayloadBytes);
    server.set_idle_interval(0, 100000);
    server.set_tcp_nodelay(true);
    server.set_pre_routing_handler(
        [token, bind](const Request& req, Response& res) { return check_request(req, res, token, bind); });
    server.set_post_routing_handler([](const Request&, Response& res) { add_security_headers(res); });
    server.set_error_handler([](const Request& req, Response& res) {
        if (!res.body.empty()) return;  // the endpoint's own answer
        // What follows a request the server could not read cannot be trusted to start a request.
        if (res.status != 404) {
            res.set_header("Connection", "close");
            GuardedServer::close_after_answer();
        }
        if (res.status == 404)
            res.set_content(fmt::format("Not found: {}\n", req.path.substr(0, 200)), "text/plain; charset=utf-8");
        else
            res.set_content(fmt::format("Bad request ({}): the request line or a header is malformed, too long or "
                                        "not supported\n", res.status), "text/plain; charset=utf-8");
    });
    server.set_exception_handler([](const Request&, Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content("Internal error: the request could not be served\n", "text/plain; charset=utf-8");
    });
}

// Waits for SIGINT or SIGTERM (blocked in every thread) and stops the
// server; when it has not stopped after kStopGrace, ends the process.
void watch_signals(GuardedServer& server, const std::atomic<bool>& finished) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    const timespec tick{0, 100'000'000};
    while (!finished) {
        if (sigtimedwait(&signals, nullptr, &tick) < 0) continue;
        server.stop();
        const auto deadline = std::chrono::steady_clock::now() + kStopGrace;
        while (!finished && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (!finished) {
            std::fflush(stdout);
            std::_Exit(0);
        }
        return;
    }
}

Status serve(ViewModel& model, const ViewSettings& settings, const std::string& token) {
    GuardedServer server{ConnectionLimits{}};
    configure(server, settings.threads, token, settings.bind_address);
    add_view_routes(server, model, settings);
    int port = settings.port;
    if (port == 0) {
        port = server.bind_to_any_port(settings.bind_address);
        if (port < 0) return fail(fmt::format("Cannot listen on {}: no free port", settings.bind_address));
    } else if (!server.bind_to_port(settings.bind_address, port)) {
        return fail(fmt::format("Cannot listen on {} port {}: the address is not this machine's or the port is taken",
                                settings.bind_address, port));
    }
    const bool v6 = settings.bind_address.find(':') != std::string::npos;
    const std::string host = v6 ? "[" + settings.bind_address + "]" : settings.bind_address;
    std::printf("http://%s:%d/?token=%s\n", host.c_str(), port, token.c_str());
    std::fflush(stdout);
    std::atomic<bool> finished{false};
    std::thread watcher([&] { watch_signals(server, finished); });
    server.listen_after_bind();
    finished = true;
    watcher.join();
    return {};
}

}  // namespace

std::string bind_warning(const std::string& address) {
    return fmt::format("Warning: listening on {}: the address with its token crosses the network in clear text; "
                       "anyone who sees it can read the matrix. Prefer the default 127.0.0.1 with SSH port "
                       "forwarding.", address);
}

Status check_browser_link(const std::string& link) {
    if (!link.starts_with("http://") && !link.starts_with("https://"))
        return fail(fmt::format("--browserLink {}: the link must start with http:// or https://", link));
    return {};
}

namespace {

// The server's requests allocate and free blocks of megabytes (row
// orders, sort keys, tiles) on many threads. The C library would, after
// the first such block is freed, serve the later ones from its per-thread
// pools, which keep freed memory: peak memory would then grow with the
// number of threads that ever held one. Blocks from 256 KiB on are mapped
// and unmapped one by one instead.
void return_large_blocks() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 256 << 10);
#endif
}

}  // namespace

Status run_view(const ViewSettings& settings) {
    if (settings.browser_link)
        if (auto ok = check_browser_link(*settings.browser_link); !ok) return ok;
    // Before any thread starts: the stop signals go to the watcher only,
    // and a client that hangs up mid-answer does not kill the process.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return_large_blocks();
    auto token = make_token();
    if (!token) return fail(std::move(token).error());
    auto file = read_matrix_file(settings.matrix_file, settings.threads);
    if (!file) return fail(std::move(file).error());
    ViewModel model(std::move(*file), settings.matrix_file, settings.threads);
    if (auto started = model.start_export_worker(); !started) return started;
    if (settings.bind_address != "127.0.0.1") std::fprintf(stderr, "%s\n", bind_warning(settings.bind_address).c_str());
    return serve(model, settings, token.value());
}

}  // namespace binscope
