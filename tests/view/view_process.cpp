// view_process.cpp - the tests' server process and HTTP client.
#include "view/view_process.hpp"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace binscope::testing {

ViewProcess::ViewProcess(const std::vector<std::string>& args, const std::string& error_path,
                         const std::string& program) {
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        if (!error_path.empty()) {
            const int err = open(error_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(err, 2);
        }
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv;
        std::string name = program;
        argv.push_back(name.data());
        std::vector<std::string> copy = args;
        for (auto& a : copy) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    // The first line, within 60 s (the matrix is read first).
    char c = 0;
    pollfd p{out[0], POLLIN, 0};
    while (poll(&p, 1, 60000) > 0 && read(out[0], &c, 1) == 1 && c != '\n') first_line_.push_back(c);
    close(out[0]);
    const auto token_at = first_line_.find("?token=");
    const auto port_at = first_line_.rfind(':', token_at);
    if (token_at == std::string::npos || port_at == std::string::npos) return;
    token_ = first_line_.substr(token_at + 7);
    port_ = std::stoi(first_line_.substr(port_at + 1, token_at - port_at - 2));
}

ViewProcess::~ViewProcess() {
    if (pid_ > 0) stop(SIGKILL, std::chrono::milliseconds(5000));
}

std::string ViewProcess::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::optional<int> ViewProcess::stop(int signal, std::chrono::milliseconds limit) {
    if (pid_ <= 0) return std::nullopt;
    kill(pid_, signal);
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return std::nullopt;
}

namespace {

struct Transfer {
    HttpReply* reply;
    std::size_t abort_after;
};

std::size_t on_body(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    t->reply->body.append(data, size * count);
    if (t->abort_after > 0 && t->reply->body.size() >= t->abort_after) return 0;
    return size * count;
}

std::size_t on_header(char* data, std::size_t size, std::size_t count, void* user) {
    auto* reply = static_cast<HttpReply*>(user);
    std::string line(data, size * count);
    const auto colon = line.find(':');
    if (colon != std::string::npos) {
        std::string name = line.substr(0, colon);
        for (auto& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        std::string value = line.substr(colon + 1);
        while (!value.empty() && (value.front() == ' ')) value.erase(0, 1);
        while (!value.empty() && (value.back() == '\r' || value.back() == '\n')) value.pop_back();
        reply->headers[name] = value;
    }
    return size * count;
}

}  // namespace

HttpClient::HttpClient() : curl_(curl_easy_init()) {}
HttpClient::~HttpClient() { curl_easy_cleanup(static_cast<CURL*>(curl_)); }

HttpReply HttpClient::get(const std::string& url, const std::vector<std::string>& headers, std::size_t abort_after) {
    CURL* curl = static_cast<CURL*>(curl_);
    HttpReply reply;
    Transfer transfer{&reply, abort_after};
    curl_slist* list = nullptr;
    for (const auto& h : headers) list = curl_slist_append(list, h.c_str());
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, on_body);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, on_header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 120L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROXY, "");
    const CURLcode code = curl_easy_perform(curl);
    if (code != CURLE_OK) reply.error = curl_easy_strerror(code);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_getinfo(curl, CURLINFO_NUM_CONNECTS, &reply.new_connections);
    curl_slist_free_all(list);
    return reply;
}

std::string raw_exchange(int port, const std::string& request) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return "";
    }
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    std::string answer;
    char buffer[4096];
    pollfd p{fd, POLLIN, 0};
    while (poll(&p, 1, 1000) > 0) {
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return answer;
}

}  // namespace binscope::testing
