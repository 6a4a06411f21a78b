// worker_pool.cpp - a pool of a fixed number of threads for one job.
//
// Hand-written rather than taken from a task library: the run must create
// exactly the requested number of threads (not a process-wide pool sized
// by the machine), a failure to create one must come back as an error
// value, and each thread keeps its own score-file readers for its whole
// life, which a work-stealing scheduler would hand between threads.
#include "worker_pool.hpp"

#include <algorithm>
#include <exception>
#include <fmt/format.h>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace binscope {

Status run_on_workers(std::size_t thread_count,
                      const std::function<void(std::size_t, const std::atomic<bool>&)>& job) {
    std::atomic<bool> cancelled{false};
    std::atomic<bool> out_of_memory{false};
    std::mutex failure_lock;
    std::optional<Error> failure;
    auto record = [&](Error error) {
        std::lock_guard<std::mutex> guard(failure_lock);
        if (!failure) failure = std::move(error);
        cancelled.store(true);
    };

    std::vector<std::thread> threads;
    try {
        threads.reserve(thread_count);
    } catch (const std::exception&) {
        return fail(fmt::format("Starting the worker pool of {} threads: out of memory", thread_count));
    }
    for (std::size_t i = 0; i < thread_count; ++i) {
        try {
            threads.emplace_back([&, i] {
                try {
                    job(i, cancelled);
                } catch (const std::bad_alloc&) {
                    out_of_memory.store(true);
                    cancelled.store(true);
                } catch (const std::exception& e) {
                    record(Error(e.what()).context(fmt::format("Worker thread {} failed", i)));
                }
            });
        } catch (const std::system_error& e) {
            const Error cause = e.code().category() == std::generic_category() ||
                                        e.code().category() == std::system_category()
                                    ? Error::from_errno(e.code().value())
                                    : Error(e.what());
            record(cause.context(fmt::format("creating thread {}", i + 1))
                       .context(fmt::format("Starting the worker pool of {} threads", thread_count)));
            break;
        } catch (const std::exception& e) {
            record(Error(e.what())
                       .context(fmt::format("creating thread {}", i + 1))
                       .context(fmt::format("Starting the worker pool of {} threads", thread_count)));
            break;
        }
    }
    for (std::thread& t : threads) t.join();
    // Memory exhaustion goes on where the caller handles it on its own thread.
    if (out_of_memory.load()) throw std::bad_alloc();
    if (failure) return fail(std::move(*failure));
    return {};
}

bool ChunkCounter::next(std::size_t& begin, std::size_t& end) {
    const std::size_t b = next_.fetch_add(chunk_, std::memory_order_relaxed);
    if (b >= count_) return false;
    begin = b;
    end = count_ - b < chunk_ ? count_ : b + chunk_;
    return true;
}

std::size_t chunk_size(std::size_t count, std::size_t threads) {
    const std::size_t per_thread_chunks = 16;
    const std::size_t chunk = count / (threads * per_thread_chunks + 1);
    return std::clamp<std::size_t>(chunk, 1, 64);
}

}  // namespace binscope
