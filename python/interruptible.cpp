// interruptible.cpp - the matrix computed without the GIL, on its own
// thread, while the calling thread watches for Ctrl-C.
#include "interruptible.hpp"

#include <pybind11/pybind11.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "run_error.hpp"
#include "run_stages.hpp"

namespace binscope::python {

namespace py = pybind11;

namespace {

// Often enough that Ctrl-C feels immediate, rarely enough to cost nothing.
constexpr auto kSignalCheck = std::chrono::milliseconds(100);

// One computation on its own thread, and its outcome.
class Computation {
public:
    explicit Computation(const Params& params)
        : thread_([this, &params] {
              try {
                  result_.emplace(compute_matrix(params, RunControl{&cancel_}));
              } catch (...) {
                  thrown_ = std::current_exception();
              }
              std::lock_guard lock(mutex_);
              done_ = true;
              finished_.notify_one();
          }) {}
    ~Computation() {
        if (thread_.joinable()) thread_.join();
    }

    // True once the computation has ended, after waiting at most `wait`.
    bool wait_for(std::chrono::milliseconds wait) {
        std::unique_lock lock(mutex_);
        return finished_.wait_for(lock, wait, [this] { return done_; });
    }
    void cancel() { cancel_.store(true); }
    void join() { thread_.join(); }

    Matrix take() {
        if (thrown_) std::rethrow_exception(thrown_);
        return value_or_raise(std::move(*result_));
    }

private:
    std::atomic<bool> cancel_{false};
    std::optional<Result<Matrix>> result_;
    std::exception_ptr thrown_;
    std::mutex mutex_;
    std::condition_variable finished_;
    bool done_ = false;
    std::thread thread_;  // last: it starts once everything above exists
};

}  // namespace

Matrix compute_interruptibly(const Params& params) {
    std::optional<Computation> computation;
    bool interrupted = false;
    {
        py::gil_scoped_release release;
        computation.emplace(params);
        while (!computation->wait_for(kSignalCheck)) {
            py::gil_scoped_acquire acquire;
            if (PyErr_CheckSignals() != 0) {
                interrupted = true;
                break;
            }
        }
        if (interrupted) computation->cancel();
        computation->join();
    }
    if (interrupted) throw py::error_already_set();
    return computation->take();
}

}  // namespace binscope::python
