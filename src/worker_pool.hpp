// worker_pool.hpp - a pool of a fixed number of threads, created for one
// job and joined when it is done, and the chunked index counter that
// spreads consecutive work items (regions, parts of a file) over them.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>

#include "error.hpp"

namespace binscope {

// Runs job(worker_index, cancelled) on exactly thread_count new threads
// and waits for all of them. When a thread cannot be created, `cancelled`
// is raised for the threads already running, they are joined and the
// error is returned; so is the first exception a job lets escape, after
// the other workers have been cancelled and joined. A job that runs out of
// memory (std::bad_alloc) cancels the others too, and once all are joined
// std::bad_alloc is thrown again here, on the caller's thread.
Status run_on_workers(std::size_t thread_count,
                      const std::function<void(std::size_t worker_index, const std::atomic<bool>& cancelled)>& job);

// Hands out ranges [begin, end) of consecutive indexes of [0, count), in
// chunks, to any number of threads; every index is handed out once.
class ChunkCounter {
public:
    ChunkCounter(std::size_t count, std::size_t chunk) : count_(count), chunk_(chunk == 0 ? 1 : chunk) {}

    // The next range, or false when every index has been handed out.
    bool next(std::size_t& begin, std::size_t& end);

private:
    std::atomic<std::size_t> next_{0};
    std::size_t count_;
    std::size_t chunk_;
};

// Chunks small enough that every thread gets several (the last ones even
// out uneven regions) and large enough that neighbouring regions, which
// share score-file blocks, stay on one thread and its reader.
std::size_t chunk_size(std::size_t count, std::size_t threads);

}  // namespace binscope
