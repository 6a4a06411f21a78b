// worker_pool_test.cpp - a job's memory exhaustion is thrown again on the
// caller's thread; its other exceptions come back as the error.
#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "worker_pool.hpp"

namespace binscope {
namespace {

TEST(WorkerPool, MemoryExhaustionOnAWorkerCancelsTheOthersAndIsThrownOnTheCaller) {
    std::atomic<int> cancelled_workers{0};
    auto job = [&](std::size_t worker, const std::atomic<bool>& cancelled) {
        if (worker == 1) throw std::bad_alloc();
        while (!cancelled.load()) std::this_thread::yield();
        ++cancelled_workers;
    };
    EXPECT_THROW((void)run_on_workers(3, job), std::bad_alloc);
    EXPECT_EQ(cancelled_workers.load(), 2);
}

TEST(WorkerPool, AnyOtherExceptionComesBackAsTheErrorOfItsThread) {
    auto status = run_on_workers(2, [](std::size_t worker, const std::atomic<bool>&) {
        if (worker == 1) throw std::runtime_error("no such thing");
    });
    ASSERT_FALSE(status.has_value());
    EXPECT_EQ(status.error().chain(), (std::vector<std::string>{"Worker thread 1 failed", "no such thing"}));
}

}  // namespace
}  // namespace binscope
