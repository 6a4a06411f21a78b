// fetch_pool.hpp - the range requests of a run: many in flight at once on
// one thread driving libcurl's multi interface, kept-alive connections
// (HTTP/2 streams where the server offers them) shared by every reader, at
// most a cap of requests in flight per host, failed tries retried on a
// timer.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bigwig/http_fetch.hpp"
#include "error.hpp"

namespace binscope::bigwig {

// One ranged request, and once answered its bytes or its error. Made by
// the asker, answered by the pool's thread.
class RangeTicket {
public:
    // Bytes [offset, offset + length) of url. Fewer only when the file ends
    // first and may_end_early is set. known_size, when given, is the size
    // every answer must report.
    RangeTicket(std::string url, std::uint64_t offset, std::size_t length, bool may_end_early,
                std::optional<std::uint64_t> known_size);

    // Waits for the answer: the bytes, or why there are none.
    Result<std::span<const std::uint8_t>> wait();

    std::uint64_t offset() const { return offset_; }
    std::size_t length() const { return length_; }
    // The file size the answer reported, after a successful answer.
    std::uint64_t file_size() const { return file_size_; }

private:
    friend class FetchPool;
    void answer(Result<std::size_t> got, std::uint64_t file_size);

    std::string url_;
    std::uint64_t offset_;
    std::size_t length_;
    bool may_end_early_;
    std::optional<std::uint64_t> known_size_;
    std::vector<std::uint8_t> bytes_;  // filled by the pool's thread before the answer
    std::uint64_t file_size_ = 0;
    std::mutex mutex_;
    std::condition_variable answered_;
    std::optional<Status> result_;  // guarded by mutex_
};

// Told a request's final answer, on the pool's thread.
using AnswerHook = std::function<void(const RangeTicket&, const Result<std::span<const std::uint8_t>>&)>;

class FetchPool {
public:
    // At most per_host requests in flight, and connections, per host
    // (at least 1).
    FetchPool(std::size_t per_host, const HttpSettings& settings);
    // Ends the requests still waiting or in flight with an error and joins
    // the thread.
    ~FetchPool();
    FetchPool(const FetchPool&) = delete;
    FetchPool& operator=(const FetchPool&) = delete;

    // How soon a request is needed.
    enum class Need {
        now,    // someone waits for it: it goes before every request ahead
        ahead,  // for reads to come
    };

    // Queues the request; it starts once its host has fewer than the cap in
    // flight, requests needed now first, each kind in the order of
    // submission. on_done, when given, runs on the pool's thread just before
    // the answer is given to waiters; it must not submit or wait.
    void submit(std::shared_ptr<RangeTicket> ticket, AnswerHook on_done = {}, Need need = Need::now);

    const HttpSettings& settings() const;
    // The most requests that were in flight at once.
    std::size_t most_in_flight() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace binscope::bigwig
