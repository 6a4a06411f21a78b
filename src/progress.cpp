// progress.cpp - the "[binscope] " progress lines on standard error, and
// the status line redrawn in place while a long stage runs on a terminal.
#include "progress.hpp"

#include <unistd.h>

#include <cstdio>
#include <fmt/format.h>
#include <system_error>

namespace binscope {

namespace {

// Standard error is shared by the progress lines, lines that stages print
// themselves, and at most one status line at a time.
std::mutex g_stderr_mutex;
std::string g_status;  // the status line on screen, empty when none

void put(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

// Carriage return and erase-to-end-of-line: the cursor back at the start
// of an empty line.
constexpr std::string_view kClearLine = "\r\x1b[K";

}  // namespace

void write_stderr(std::string_view text) {
    std::lock_guard lock(g_stderr_mutex);
    if (g_status.empty()) {
        put(text);
        return;
    }
    std::string all(kClearLine);
    all += text;
    all += g_status;
    put(all);
}

void progress(bool quiet, std::string_view line) {
    if (quiet) return;
    std::string text = "[binscope] ";
    text += line;
    text += '\n';
    write_stderr(text);
}

LiveStatus::LiveStatus(bool quiet, std::string what, std::string unit, std::uint64_t total,
                       std::chrono::milliseconds delay)
    : what_(std::move(what)), unit_(std::move(unit)), total_(total), start_(std::chrono::steady_clock::now()) {
    if (quiet || isatty(STDERR_FILENO) != 1) return;
    try {
        drawer_ = std::thread([this, delay] { draw_until_stopped(delay); });
    } catch (const std::system_error&) {
        // Without a thread to draw it there is simply no status line.
    }
}

LiveStatus::~LiveStatus() {
    if (!drawer_.joinable()) return;
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    drawer_.join();
    std::lock_guard lock(g_stderr_mutex);
    if (!g_status.empty()) put(kClearLine);
    g_status.clear();
}

std::string LiveStatus::line(double seconds) const {
    const std::uint64_t done = std::min(done_.load(std::memory_order_relaxed), total_);
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
    const std::uint64_t percent = total_ == 0 ? 100 : done * 100 / total_;
    std::string text = fmt::format("\r[binscope] {}: {}/{} {} ({}%), {:.0f} {}/s", what_, done, total_, unit_,
                                   percent, rate, unit_);
    if (rate > 0) text += fmt::format(", {:.0f} s left", static_cast<double>(total_ - done) / rate);
    text += "\x1b[K";
    return text;
}

void LiveStatus::draw_until_stopped(std::chrono::milliseconds delay) {
    constexpr auto kRedraw = std::chrono::milliseconds(100);
    std::unique_lock lock(mutex_);
    if (wake_.wait_for(lock, delay, [this] { return stop_; })) return;
    do {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
        std::string text = line(elapsed.count());
        std::lock_guard out(g_stderr_mutex);
        g_status = std::move(text);
        put(g_status);
    } while (!wake_.wait_for(lock, kRedraw, [this] { return stop_; }));
}

}  // namespace binscope
