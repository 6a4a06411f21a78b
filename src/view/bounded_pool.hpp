// bounded_pool.hpp - the HTTP server's connection threads: a fixed number,
// and a bounded queue of accepted connections waiting for one.
#pragma once

#include <httplib.h>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace binscope {

// When the queue is full the accepting thread waits for room, so further
// connections wait in the system's listen backlog instead of in memory:
// at most threads + queue_limit connections are open at once.
class BoundedPool : public httplib::TaskQueue {
public:
    BoundedPool(std::size_t threads, std::size_t queue_limit);
    ~BoundedPool() override;

    void enqueue(std::function<void()> task) override;
    void shutdown() override;

private:
    void work();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> queue_;
    std::size_t queue_limit_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace binscope
