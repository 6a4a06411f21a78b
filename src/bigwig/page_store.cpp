// page_store.cpp - shared pages of a remote file: a read waits for the
// pages it needs, whoever asked for them, and asks once for those nobody
// has; answers are kept as pages, failures forgotten so that the next
// reader asks again.
#include "bigwig/page_store.hpp"

#include <algorithm>
#include <cstring>
#include <optional>

namespace binscope::bigwig {

namespace {

// Missing pages this close together are fetched in one request, with the
// pages between them.
constexpr std::uint64_t kGapPages = 2;
// The farthest a run's read-ahead reaches past a request.
constexpr std::uint64_t kMaxAheadPages = 32;
// Passes of a read whose pages another reader failed to bring.
constexpr int kReadPasses = 3;

}  // namespace

PageStore::PageStore(std::string url, std::uint64_t size, std::uint64_t cache_bytes, FetchPool& pool)
    : url_(std::move(url)), size_(size), max_pages_(std::max<std::uint64_t>(cache_bytes / kPageBytes, 4)), pool_(pool) {}

bool PageStore::touch(std::uint64_t page) {
    auto it = pages_.find(page);
    if (it == pages_.end() || !it->second.bytes) return false;
    uses_.splice(uses_.begin(), uses_, it->second.use);
    return true;
}

void PageStore::keep(std::uint64_t first, std::span<const std::uint8_t> bytes) {
    std::lock_guard lock(mutex_);
    keep_locked(first, bytes);
}

void PageStore::keep_locked(std::uint64_t first, std::span<const std::uint8_t> bytes) {
    for (std::uint64_t at = 0, page = first; at < bytes.size(); at += kPageBytes, ++page) {
        auto part = bytes.subspan(at, std::min<std::uint64_t>(kPageBytes, bytes.size() - at));
        Page& p = pages_[page];
        const bool was_kept = p.bytes != nullptr;
        p.bytes = std::make_shared<const std::vector<std::uint8_t>>(part.begin(), part.end());
        p.ticket.reset();
        if (was_kept) {
            touch(page);
        } else {
            uses_.push_front(page);
            p.use = uses_.begin();
        }
    }
    while (uses_.size() > max_pages_) {
        pages_.erase(uses_.back());
        uses_.pop_back();
    }
}

std::shared_ptr<RangeTicket> PageStore::plan(std::uint64_t first, std::uint64_t last, OnwardRun& run) {
    const bool onward = first >= run.next_page && first <= run.next_page + kGapPages;
    run.ahead = onward ? std::min({std::max<std::uint64_t>(run.ahead * 2, 1), kMaxAheadPages, max_pages_ / 4}) : 0;
    const std::uint64_t file_pages = (size_ + kPageBytes - 1) / kPageBytes;
    const std::uint64_t reach = std::min(last + run.ahead, file_pages - 1);
    run.next_page = reach + 1;
    // The read-ahead stops short of pages already kept or on their way.
    std::uint64_t end = last;
    while (end < reach && !pages_.contains(end + 1)) ++end;
    const std::uint64_t from = first * kPageBytes;
    const std::uint64_t to = std::min((end + 1) * kPageBytes, size_);
    auto ticket = std::make_shared<RangeTicket>(url_, from, static_cast<std::size_t>(to - from), false, size_);
    for (std::uint64_t page = first; page <= end; ++page) {
        auto [it, added] = pages_.try_emplace(page);
        if (added) it->second.ticket = ticket;
    }
    return ticket;
}

void PageStore::submit(std::shared_ptr<RangeTicket> ticket, FetchPool::Need need) {
    pool_.submit(
        std::move(ticket),
        [self = shared_from_this()](const RangeTicket& t, const Result<std::span<const std::uint8_t>>& got) {
            self->answered(t, got);
        },
        need);
}

void PageStore::answered(const RangeTicket& ticket, const Result<std::span<const std::uint8_t>>& got) {
    std::lock_guard lock(mutex_);
    const std::uint64_t first = ticket.offset() / kPageBytes;
    if (got) return keep_locked(first, *got);
    const std::uint64_t count = (ticket.length() + kPageBytes - 1) / kPageBytes;
    for (std::uint64_t page = first; page < first + count; ++page) {
        auto it = pages_.find(page);
        if (it != pages_.end() && it->second.ticket.get() == &ticket) pages_.erase(it);
    }
}

namespace {

// Copies what page `page` (its bytes `bytes`) holds of [offset, offset +
// out.size()) into out.
void copy_page(std::uint64_t page, std::span<const std::uint8_t> bytes, std::uint64_t offset,
               std::span<std::uint8_t> out) {
    const std::uint64_t start = page * kPageBytes;
    const std::uint64_t from = std::max(offset, start), to = std::min(offset + out.size(), start + bytes.size());
    if (to > from) std::memcpy(out.data() + (from - offset), bytes.data() + (from - start), to - from);
}

}  // namespace

Status PageStore::read_pass(std::uint64_t offset, std::span<std::uint8_t> out, OnwardRun& run, bool& again) {
    again = false;
    const std::uint64_t first = offset / kPageBytes, last = (offset + out.size() - 1) / kPageBytes;
    std::vector<Page> held(last - first + 1);
    std::shared_ptr<RangeTicket> own;
    {
        std::lock_guard lock(mutex_);
        std::optional<std::uint64_t> lo, hi;
        for (std::uint64_t page = first; page <= last; ++page) {
            if (auto it = pages_.find(page); it != pages_.end()) {
                touch(page);
                held[page - first] = it->second;
                continue;
            }
            if (!lo) lo = page;
            hi = page;
        }
        if (lo) {
            own = plan(*lo, *hi, run);
            for (std::uint64_t page = *lo; page <= *hi; ++page)
                if (!held[page - first].bytes && !held[page - first].ticket) held[page - first].ticket = own;
        }
    }
    if (own) submit(own, FetchPool::Need::now);
    std::optional<Error> failed;
    for (std::uint64_t page = first; page <= last; ++page) {
        const Page& p = held[page - first];
        if (p.bytes) {
            copy_page(page, *p.bytes, offset, out);
            continue;
        }
        auto got = p.ticket->wait();
        if (!got && p.ticket == own) return fail(std::move(got.error()));
        if (!got) {
            if (!failed) failed = std::move(got.error());
            continue;
        }
        const std::uint64_t at = page * kPageBytes - p.ticket->offset();
        if (at >= got->size()) return fail(short_read());
        copy_page(page, got->subspan(at, std::min<std::uint64_t>(kPageBytes, got->size() - at)), offset, out);
    }
    again = failed.has_value();
    if (failed) return fail(std::move(*failed));
    return {};
}

Status PageStore::read(std::uint64_t offset, std::span<std::uint8_t> out, OnwardRun& run) {
    if (out.empty()) return {};
    bool again = false;
    Status result;
    for (int pass = 0; pass < kReadPasses; ++pass) {
        result = read_pass(offset, out, run, again);
        if (!again) break;
    }
    return result;
}

std::vector<std::shared_ptr<RangeTicket>> PageStore::fetch(std::span<const ByteRange> ranges, OnwardRun& run,
                                                           FetchPool::Need need) {
    std::vector<std::uint64_t> wanted;
    for (const ByteRange& r : ranges) {
        if (r.size == 0 || r.size >= direct_bytes() || r.offset > size_ || r.size > size_ - r.offset) continue;
        for (std::uint64_t page = r.offset / kPageBytes; page <= (r.offset + r.size - 1) / kPageBytes; ++page)
            wanted.push_back(page);
    }
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    std::vector<std::shared_ptr<RangeTicket>> tickets;
    {
        std::lock_guard lock(mutex_);
        // At most half the cache, so that what is fetched stays until it is read.
        std::uint64_t budget = max_pages_ / 2;
        std::optional<std::uint64_t> lo, hi;
        for (std::uint64_t page : wanted) {
            if (pages_.contains(page)) {
                touch(page);
                continue;
            }
            if (lo && (page - *hi > kGapPages || page - *lo >= budget)) {
                tickets.push_back(plan(*lo, *hi, run));
                budget -= *hi - *lo + 1;
                lo.reset();
                if (pages_.contains(page)) continue;
            }
            if (budget == 0) break;
            if (!lo) lo = page;
            hi = page;
        }
        if (lo) tickets.push_back(plan(*lo, *hi, run));
    }
    for (const auto& t : tickets) submit(t, need);
    return tickets;
}

}  // namespace binscope::bigwig
