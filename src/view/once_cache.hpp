// once_cache.hpp - results computed once per key while later askers wait,
// the least recently used dropped past a budget.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "error.hpp"

namespace binscope {

// Values of type V by key. The first request for a key computes it on its
// own thread; requests for the same key meanwhile wait for that result.
// A failed computation is handed to its waiters and forgotten. Once the
// costs of the finished values pass `budget`, the least recently used ones
// are dropped (their holders keep them alive as long as they need them).
template <class V>
class OnceCache {
public:
    using Value = std::shared_ptr<const V>;

    explicit OnceCache(std::size_t budget) : budget_(budget) {}

    Result<Value> get(const std::string& key, const std::function<Result<V>()>& compute,
                      const std::function<std::size_t(const V&)>& cost) {
        std::unique_lock lock(mutex_);
        auto found = entries_.find(key);
        if (found != entries_.end()) {
            const std::shared_ptr<Slot> slot = found->second;
            slot->used = ++clock_;
            ready_.wait(lock, [&] { return slot->done; });
            if (slot->value) return slot->value;
            return fail(slot->error);
        }
        auto slot = std::make_shared<Slot>();
        slot->used = ++clock_;
        entries_.emplace(key, slot);
        lock.unlock();
        Result<V> computed = run(compute);
        lock.lock();
        slot->done = true;
        if (computed) {
            slot->value = std::make_shared<const V>(std::move(*computed));
            slot->cost = cost(*slot->value);
            total_ += slot->cost;
            evict();
        } else {
            slot->error = computed.error();
            entries_.erase(key);
        }
        ready_.notify_all();
        if (slot->value) return slot->value;
        return fail(slot->error);
    }

private:
    struct Slot {
        bool done = false;
        Value value;
        Error error;
        std::size_t cost = 0;
        std::uint64_t used = 0;
    };

    static Result<V> run(const std::function<Result<V>()>& compute) {
        try {
            return compute();
        } catch (const std::bad_alloc&) {
            return fail("Out of memory while computing the view");
        }
    }

    // Drops finished values, least recently used first, until the rest
    // fit the budget; the newest value always stays.
    void evict() {
        while (total_ > budget_) {
            auto oldest = entries_.end();
            for (auto it = entries_.begin(); it != entries_.end(); ++it)
                if (it->second->done && (oldest == entries_.end() || it->second->used < oldest->second->used))
                    oldest = it;
            if (oldest == entries_.end() || oldest->second->used == clock_) return;
            total_ -= oldest->second->cost;
            entries_.erase(oldest);
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::map<std::string, std::shared_ptr<Slot>> entries_;
    std::size_t budget_;
    std::size_t total_ = 0;
    std::uint64_t clock_ = 0;
};

}  // namespace binscope
