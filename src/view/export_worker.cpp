// export_worker.cpp - the export worker process and its messages: one
// length-prefixed message a figure, one status and text back.
#include "view/export_worker.hpp"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fmt/format.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "figure/axis.hpp"
#include "figure/figure_data.hpp"
#include "figure/heatmap_figure.hpp"

namespace binscope {
namespace {

// A figure's order: what the worker needs besides the matrix.
struct FigureJob {
    std::uint64_t format = 0, threads = 1, reverse = 0;
    std::string color_map, missing_color, path;
    std::vector<double> z_min, z_max;
    std::vector<std::uint64_t> row_order, group_boundaries;
    std::vector<std::string> group_labels;
};

class Writer {
public:
    void number(std::uint64_t v) { bytes_.append(reinterpret_cast<const char*>(&v), sizeof v); }
    void text(const std::string& s) { number(s.size()), bytes_ += s; }
    template <class T>
    void list(const std::vector<T>& values) {
        number(values.size());
        if constexpr (std::is_same_v<T, std::string>)
            for (const auto& s : values) text(s);
        else
            bytes_.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
    }
    const std::string& bytes() const { return bytes_; }

private:
    std::string bytes_;
};

class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    std::uint64_t number() {
        std::uint64_t v = 0;
        take(&v, sizeof v);
        return v;
    }
    std::string text() {
        std::string s(std::min<std::uint64_t>(number(), bytes_.size()), '\0');
        take(s.data(), s.size());
        return s;
    }
    template <class T>
    std::vector<T> list() {
        const std::uint64_t n = std::min<std::uint64_t>(number(), bytes_.size());
        std::vector<T> values;
        if constexpr (std::is_same_v<T, std::string>) {
            for (std::uint64_t i = 0; i < n; ++i) values.push_back(text());
        } else {
            values.resize(std::min<std::uint64_t>(n, bytes_.size() / sizeof(T)));
            take(values.data(), values.size() * sizeof(T));
        }
        return values;
    }

private:
    void take(void* out, std::size_t n) {
        n = std::min(n, bytes_.size());
        if (n == 0) return;  // an empty list has no buffer to copy into
        std::memcpy(out, bytes_.data(), n);
        bytes_.remove_prefix(n);
    }
    std::string_view bytes_;
};

// Writes to the worker's socket or the drawing child's pipe (SIGPIPE is
// ignored by the server, before the worker is forked).
bool write_all(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool read_all(int fd, char* out, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::read(fd, out, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        out += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool send_message(int fd, const std::string& body) {
    const std::uint64_t size = body.size();
    return write_all(fd, std::string_view(reinterpret_cast<const char*>(&size), sizeof size)) && write_all(fd, body);
}

bool receive_message(int fd, std::string& body) {
    std::uint64_t size = 0;
    if (!read_all(fd, reinterpret_cast<char*>(&size), sizeof size) || size > (std::uint64_t{1} << 36)) return false;
    body.assign(size, '\0');
    return read_all(fd, body.data(), size);
}

std::string encode(const FigureJob& job) {
    Writer w;
    w.number(job.format), w.number(job.threads), w.number(job.reverse);
    w.text(job.color_map), w.text(job.missing_color), w.text(job.path);
    w.list(job.z_min), w.list(job.z_max), w.list(job.row_order), w.list(job.group_boundaries), w.list(job.group_labels);
    return w.bytes();
}

FigureJob decode(std::string_view bytes) {
    Reader r(bytes);
    FigureJob job;
    job.format = r.number(), job.threads = r.number(), job.reverse = r.number();
    job.color_map = r.text(), job.missing_color = r.text(), job.path = r.text();
    job.z_min = r.list<double>(), job.z_max = r.list<double>();
    job.row_order = r.list<std::uint64_t>(), job.group_boundaries = r.list<std::uint64_t>();
    job.group_labels = r.list<std::string>();
    return job;
}

// In the drawing child: the figure as `heatmap` draws it.
Status draw_job(const MatrixFile& file, const FigureJob& job) {
    FigureStyle style;
    style.format = static_cast<FigureFormat>(job.format);
    RowOrder order{{job.row_order.begin(), job.row_order.end()},
                   {job.group_boundaries.begin(), job.group_boundaries.end()},
                   job.group_labels};
    auto input = make_figure_input(file, std::move(order), style, axis_ticks(file.header, style));
    if (!input) return fail(std::move(input).error());
    ColorSettings color;
    color.color_map = job.color_map, color.reverse = job.reverse != 0, color.missing_color = job.missing_color;
    color.z_min = job.z_min, color.z_max = job.z_max;
    return draw_heatmap(*input, style, color, ProfileSettings{}, job.path, job.threads);
}

// The reply to one job: a drawing child's exit, and its error text.
std::string run_job(const MatrixFile& file, const FigureJob& job) {
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return "Cannot start the drawing: " + Error::from_errno(errno).message();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe_fds[0]);
        auto drawn = draw_job(file, job);
        std::string text;
        if (!drawn)
            for (const auto& message : drawn.error().chain()) text += (text.empty() ? "" : ": ") + message;
        (void)write_all(pipe_fds[1], text);
        ::_exit(drawn ? 0 : 1);
    }
    ::close(pipe_fds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) != 0;)
        if (n > 0) text.append(buffer, static_cast<std::size_t>(n));
        else if (errno != EINTR) break;
    ::close(pipe_fds[0]);
    int status = 0;
    if (child < 0) return "Cannot start the drawing: " + Error::from_errno(errno).message();
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
    return text.empty() ? std::string("The drawing ended without a figure") : text;
}

[[noreturn]] void serve_jobs(const MatrixFile& file, int fd) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::signal(SIGINT, SIG_IGN);  // the server decides when to stop; its end closes the connection
    std::signal(SIGTERM, SIG_IGN);
    std::string message;
    while (receive_message(fd, message))
        if (!send_message(fd, run_job(file, decode(message)))) break;
    ::_exit(0);
}

}  // namespace

Result<ExportWorker> ExportWorker::start(const MatrixFile& file) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0)
        return fail(Error::from_errno(errno).context("Cannot start the figure worker"));
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]), ::close(fds[1]);
        return fail(Error::from_errno(errno).context("Cannot start the figure worker"));
    }
    if (pid == 0) {
        ::close(fds[0]);
        serve_jobs(file, fds[1]);
    }
    ::close(fds[1]);
    return ExportWorker(fds[0], pid);
}

ExportWorker::ExportWorker(ExportWorker&& other) noexcept
    : socket_(std::exchange(other.socket_, -1)), pid_(std::exchange(other.pid_, -1)) {}

ExportWorker::~ExportWorker() {
    if (socket_ >= 0) ::close(socket_);
    if (pid_ > 0)
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {}
}

Status ExportWorker::draw(const FigureInput& input, FigureFormat format, const ColorSettings& color,
                          std::size_t threads, const std::string& path) {
    FigureJob job;
    job.format = static_cast<std::uint64_t>(format), job.threads = threads, job.reverse = color.reverse ? 1 : 0;
    job.color_map = color.color_map, job.missing_color = color.missing_color, job.path = path;
    job.z_min = color.z_min, job.z_max = color.z_max;
    job.row_order.assign(input.row_order.begin(), input.row_order.end());
    job.group_boundaries.assign(input.group_boundaries.begin(), input.group_boundaries.end());
    job.group_labels = input.group_labels;
    const std::lock_guard lock(mutex_);
    std::string reply;
    if (!send_message(socket_, encode(job)) || !receive_message(socket_, reply))
        return fail("The figure worker has ended");
    if (!reply.empty()) return fail(reply);
    return {};
}

}  // namespace binscope
