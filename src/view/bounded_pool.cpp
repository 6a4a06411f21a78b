// bounded_pool.cpp - connection threads with a bounded waiting queue.
#include "view/bounded_pool.hpp"

namespace binscope {

BoundedPool::BoundedPool(std::size_t threads, std::size_t queue_limit) : queue_limit_(queue_limit) {
    for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

BoundedPool::~BoundedPool() { shutdown(); }

void BoundedPool::enqueue(std::function<void()> task) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return stopping_ || queue_.size() < queue_limit_; });
    if (stopping_) return;  // the server is going down; the connection goes with the process
    queue_.push_back(std::move(task));
    changed_.notify_all();
}

void BoundedPool::shutdown() {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_ && threads_.empty()) return;
        stopping_ = true;
    }
    changed_.notify_all();
    for (auto& thread : threads_)
        if (thread.joinable()) thread.join();
    threads_.clear();
}

void BoundedPool::work() {
    while (true) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;  // stopping, and nothing left to serve
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        changed_.notify_all();
        task();
    }
}

}  // namespace binscope
