// process_run.cpp - fork/exec with wait4 for the child's own resource use.
#include "harness/process_run.hpp"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace binscope::bench {

namespace {

double seconds(const timeval& tv) { return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6; }

std::string read_all(int fd) {
    std::string out;
    char buf[65536];
    while (true) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    return out;
}

}  // namespace

ProcessStats run_process(const std::vector<std::string>& argv) {
    int err_pipe[2];
    if (::pipe2(err_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        if (null >= 0) ::dup2(null, 1);
        ::dup2(err_pipe[1], 2);
        ::execv(args[0], args.data());
        const char msg[] = "exec failed\n";
        (void)!::write(2, msg, sizeof msg - 1);
        ::_exit(127);
    }
    ::close(err_pipe[1]);

    ProcessStats stats;
    std::string pending;
    char buf[4096];
    while (true) {
        const ssize_t n = ::read(err_pipe[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const double at = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        pending.append(buf, static_cast<std::size_t>(n));
        for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
            stats.stderr_lines.push_back({at, pending.substr(0, nl)});
            pending.erase(0, nl + 1);
        }
    }
    ::close(err_pipe[0]);
    if (!pending.empty())
        stats.stderr_lines.push_back(
            {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), pending});

    int status = 0;
    rusage usage{};
    while (::wait4(pid, &status, 0, &usage) < 0)
        if (errno != EINTR) throw std::runtime_error("wait4 failed");
    stats.wall_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    stats.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    stats.user_seconds = seconds(usage.ru_utime);
    stats.system_seconds = seconds(usage.ru_stime);
    stats.peak_rss_kib = usage.ru_maxrss;
    return stats;
}

std::string run_in_child(const std::function<std::string()>& work) {
    int out_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::close(out_pipe[0]);
        int code = 0;
        try {
            const std::string result = work();
            for (std::size_t done = 0; done < result.size();) {
                const ssize_t n = ::write(out_pipe[1], result.data() + done, result.size() - done);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    code = 1;
                    break;
                }
                done += static_cast<std::size_t>(n);
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            code = 1;
        }
        std::fflush(nullptr);
        ::_exit(code);
    }
    ::close(out_pipe[1]);
    std::string result = read_all(out_pipe[0]);
    ::close(out_pipe[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("the measuring child failed");
    return result;
}

ProcessStats run_process_or_exit(const std::vector<std::string>& argv) {
    ProcessStats s = run_process(argv);
    if (s.exit_status != 0) {
        std::fprintf(stderr, "run failed (status %d):", s.exit_status);
        for (const auto& a : argv) std::fprintf(stderr, " %s", a.c_str());
        std::fprintf(stderr, "\n");
        for (const TimedLine& l : s.stderr_lines) std::fprintf(stderr, "  %s\n", l.text.c_str());
        std::exit(1);
    }
    return s;
}

}  // namespace binscope::bench
