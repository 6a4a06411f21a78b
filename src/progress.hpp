// progress.hpp - the "[binscope] " progress lines on standard error, and
// the status line redrawn in place while a long stage runs on a terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace binscope {

// Writes "[binscope] " + line + "\n" to standard error unless quiet.
void progress(bool quiet, std::string_view line);

// Writes text to standard error, first clearing a status line on screen
// (which is redrawn afterwards). Every write to standard error during a run
// goes through here or progress(), so the two never interleave.
void write_stderr(std::string_view text);

// While it lives, a status line "[binscope] <what>: <done>/<total> <unit>
// (<p>%), <r> <unit>/s, <t> s left" is redrawn in place on standard error
// about ten times a second, by a thread that only draws, once `delay` has
// passed. Nothing is drawn unless standard error is a terminal and the run
// is not quiet, so files, pipes and scripts see only the progress lines.
// The workers only call add(); the line is cleared when the object dies.
class LiveStatus {
public:
    LiveStatus(bool quiet, std::string what, std::string unit, std::uint64_t total,
               std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    ~LiveStatus();
    LiveStatus(const LiveStatus&) = delete;
    LiveStatus& operator=(const LiveStatus&) = delete;

    void add(std::uint64_t n) { done_.fetch_add(n, std::memory_order_relaxed); }

private:
    void draw_until_stopped(std::chrono::milliseconds delay);
    std::string line(double seconds) const;

    std::atomic<std::uint64_t> done_{0};
    std::string what_;
    std::string unit_;
    std::uint64_t total_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread drawer_;
};

}  // namespace binscope
