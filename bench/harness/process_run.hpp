// process_run.hpp - runs a program as a child process and measures it:
// wall time, CPU time and peak resident memory of the child alone, and
// the arrival time of every line it writes to standard error.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace binscope::bench {

struct TimedLine {
    double seconds = 0;  // since the child was started
    std::string text;
};

struct ProcessStats {
    int exit_status = -1;  // -1: killed by a signal
    double wall_seconds = 0;
    double user_seconds = 0;
    double system_seconds = 0;
    long peak_rss_kib = 0;
    std::vector<TimedLine> stderr_lines;

    double cpu_seconds() const { return user_seconds + system_seconds; }
};

// Runs argv[0] with argv (no shell), standard output discarded. The caller
// should hold little memory: a forked child starts with the caller's
// resident pages on its peak.
ProcessStats run_process(const std::vector<std::string>& argv);

// run_process, but a run that fails ends the benchmark: the command and
// its standard error are printed and the process exits with status 1.
ProcessStats run_process_or_exit(const std::vector<std::string>& argv);

// Runs `work` in a forked child and returns the bytes it returns, so that
// the memory it takes is given back whole before the next measurement.
// Throws std::runtime_error when the child fails.
std::string run_in_child(const std::function<std::string()>& work);

}  // namespace binscope::bench
