// http_source.cpp - the remote ByteSource: small reads through the shared
// pages, large ones straight from the server; the run's session of pool
// and stores.
#include "bigwig/http_source.hpp"

#include <algorithm>
#include <cstring>
#include <vector>

namespace binscope::bigwig {

namespace {

class HttpSource final : public ByteSource {
public:
    HttpSource(std::shared_ptr<FetchPool> pool, std::shared_ptr<PageStore> store)
        : ByteSource(store->size(), kMaxRequestBytes), pool_(std::move(pool)), store_(std::move(store)) {}

    Status read_at(std::uint64_t offset, std::span<std::uint8_t> out) override;
    Status prefetch(std::span<const ByteRange> ranges) override;
    std::uint64_t read_ahead(std::span<const ByteRange> ranges) override;

private:
    std::shared_ptr<FetchPool> pool_;  // outlives store_'s use of it
    std::shared_ptr<PageStore> store_;
    // This reader's own runs through the file: its reads (index nodes,
    // mostly), and the blocks it asks for ahead.
    OnwardRun reads_, fetches_;
};

Status HttpSource::read_at(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (!holds(offset, out.size())) return fail(short_read());
    if (out.empty()) return {};
    if (out.size() < store_->direct_bytes()) return store_->read(offset, out, reads_);
    auto ticket = std::make_shared<RangeTicket>(store_->url(), offset, out.size(), false, size());
    pool_->submit(ticket);
    auto got = ticket->wait();
    if (!got) return fail(std::move(got.error()));
    std::memcpy(out.data(), got->data(), out.size());
    return {};
}

Status HttpSource::prefetch(std::span<const ByteRange> ranges) {
    // Every request is in flight before the first answer is awaited.
    const auto tickets = store_->fetch(ranges, fetches_, FetchPool::Need::now);
    for (const auto& t : tickets)
        if (auto got = t->wait(); !got) return fail(std::move(got.error()));
    return {};
}

std::uint64_t HttpSource::read_ahead(std::span<const ByteRange> ranges) {
    std::uint64_t asked = 0;
    for (const auto& t : store_->fetch(ranges, fetches_, FetchPool::Need::ahead)) asked += t->length();
    return asked;
}

// The first request, which learns the file's size, and the store that
// keeps its bytes.
Result<std::shared_ptr<PageStore>> first_request(const std::string& url, FetchPool& pool) {
    auto ticket = std::make_shared<RangeTicket>(url, 0, kFirstRequestBytes, true, std::nullopt);
    pool.submit(ticket);
    auto head = ticket->wait();
    if (!head) return fail(std::move(head.error()));
    auto store = std::make_shared<PageStore>(url, ticket->file_size(), pool.settings().cache_bytes, pool);
    store->keep(0, *head);
    return store;
}

}  // namespace

RemoteSession::RemoteSession(std::size_t per_host, const HttpSettings& settings)
    : pool_(std::make_shared<FetchPool>(per_host, settings)) {}

RemoteSession::~RemoteSession() = default;

Result<std::unique_ptr<ByteSource>> RemoteSession::open(const std::string& url) {
    std::lock_guard lock(mutex_);
    auto it = stores_.find(url);
    if (it == stores_.end()) {
        auto store = first_request(url, *pool_);
        if (!store) return fail(std::move(store.error()));
        it = stores_.emplace(url, std::move(*store)).first;
    }
    return std::unique_ptr<ByteSource>(std::make_unique<HttpSource>(pool_, it->second));
}

Result<std::unique_ptr<ByteSource>> open_http_source(const std::string& url, const HttpSettings& settings) {
    RemoteSession session(1, settings);
    return session.open(url);
}

}  // namespace binscope::bigwig
