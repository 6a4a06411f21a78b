// http_source.cpp - the remote ByteSource: aligned page requests, reads
// about to happen fetched together, least recently used pages dropped.
#include "bigwig/http_source.hpp"

#include <algorithm>
#include <cstring>
#include <list>
#include <unordered_map>
#include <vector>

namespace binscope::bigwig {

namespace {

// Missing pages this close together are fetched in one request, with the
// pages between them.
constexpr std::uint64_t kGapPages = 2;
// Requests that go on where the last one ended read ahead, twice as far
// each time up to this many pages; any other request stops that. A sorted
// run through the file then takes few requests, scattered queries fetch
// nothing they do not need.
constexpr std::uint64_t kMaxAheadPages = 32;

class HttpSource final : public ByteSource {
public:
    HttpSource(RangeFetcher fetcher, std::uint64_t size, std::uint64_t cache_bytes)
        : ByteSource(size, kMaxRequestBytes),
          fetcher_(std::move(fetcher)),
          max_pages_(std::max<std::uint64_t>(cache_bytes / kPageBytes, 4)) {}

    Status read_at(std::uint64_t offset, std::span<std::uint8_t> out) override;
    Status prefetch(std::span<const ByteRange> ranges) override;

    // Keeps bytes that start at the start of page `first`.
    void store(std::uint64_t first, std::span<const std::uint8_t> bytes);

private:
    // Reads at least this long bypass the cache.
    std::uint64_t direct_bytes() const { return max_pages_ / 2 * kPageBytes; }
    // Marks the page used; false when it is not cached.
    bool touch(std::uint64_t page);
    // Fetches pages [first, last], and any read-ahead, in one request.
    Status fetch_pages(std::uint64_t first, std::uint64_t last);

    struct Page {
        std::vector<std::uint8_t> bytes;
        std::list<std::uint64_t>::iterator use;
    };

    RangeFetcher fetcher_;
    std::uint64_t max_pages_;
    std::unordered_map<std::uint64_t, Page> pages_;
    std::list<std::uint64_t> uses_;  // page numbers, most recently used first
    std::vector<std::uint8_t> buffer_;
    std::vector<std::uint64_t> wanted_;  // scratch of prefetch
    std::uint64_t next_page_ = kFirstRequestBytes / kPageBytes;  // after the last request
    std::uint64_t ahead_ = 0;                                     // pages its read-ahead took
};

bool HttpSource::touch(std::uint64_t page) {
    auto it = pages_.find(page);
    if (it == pages_.end()) return false;
    uses_.splice(uses_.begin(), uses_, it->second.use);
    return true;
}

void HttpSource::store(std::uint64_t first, std::span<const std::uint8_t> bytes) {
    for (std::uint64_t at = 0, page = first; at < bytes.size(); at += kPageBytes, ++page) {
        auto part = bytes.subspan(at, std::min<std::uint64_t>(kPageBytes, bytes.size() - at));
        auto [it, added] = pages_.try_emplace(page);
        it->second.bytes.assign(part.begin(), part.end());
        if (added) {
            uses_.push_front(page);
            it->second.use = uses_.begin();
        } else {
            touch(page);
        }
    }
    while (pages_.size() > max_pages_) {
        pages_.erase(uses_.back());
        uses_.pop_back();
    }
}

Status HttpSource::fetch_pages(std::uint64_t first, std::uint64_t last) {
    const bool onward = first >= next_page_ && first <= next_page_ + kGapPages;
    ahead_ = onward ? std::min({std::max<std::uint64_t>(ahead_ * 2, 1), kMaxAheadPages, max_pages_ / 4}) : 0;
    const std::uint64_t file_pages = (size() + kPageBytes - 1) / kPageBytes;
    last = std::min(last + ahead_, file_pages - 1);
    next_page_ = last + 1;
    const std::uint64_t from = first * kPageBytes;
    const std::uint64_t to = std::min((last + 1) * kPageBytes, size());
    buffer_.resize(to - from);
    auto got = fetcher_.fetch(from, buffer_, false);
    if (!got) return fail(std::move(got.error()));
    store(first, buffer_);
    return {};
}

Status HttpSource::read_at(std::uint64_t offset, std::span<std::uint8_t> out) {
    if (!holds(offset, out.size())) return fail(short_read());
    if (out.empty()) return {};
    if (out.size() >= direct_bytes()) {
        auto got = fetcher_.fetch(offset, out, false);
        if (!got) return fail(std::move(got.error()));
        return {};
    }
    const std::uint64_t first = offset / kPageBytes, last = (offset + out.size() - 1) / kPageBytes;
    std::optional<std::uint64_t> lo, hi;
    for (std::uint64_t page = first; page <= last; ++page) {
        if (touch(page)) continue;
        if (!lo) lo = page;
        hi = page;
    }
    if (lo) {
        if (auto r = fetch_pages(*lo, *hi); !r) return r;
    }
    for (std::uint64_t page = first; page <= last; ++page) {
        const std::vector<std::uint8_t>& bytes = pages_.at(page).bytes;
        const std::uint64_t start = page * kPageBytes;
        const std::uint64_t from = std::max(offset, start), to = std::min(offset + out.size(), start + bytes.size());
        if (to > from) std::memcpy(out.data() + (from - offset), bytes.data() + (from - start), to - from);
    }
    return {};
}

Status HttpSource::prefetch(std::span<const ByteRange> ranges) {
    wanted_.clear();
    for (const ByteRange& r : ranges) {
        if (r.size == 0 || r.size >= direct_bytes() || !holds(r.offset, r.size)) continue;
        for (std::uint64_t page = r.offset / kPageBytes; page <= (r.offset + r.size - 1) / kPageBytes; ++page)
            wanted_.push_back(page);
    }
    std::sort(wanted_.begin(), wanted_.end());
    wanted_.erase(std::unique(wanted_.begin(), wanted_.end()), wanted_.end());
    // At most half the cache, so that what is fetched stays until it is read.
    std::uint64_t budget = max_pages_ / 2;
    std::optional<std::uint64_t> lo, hi;
    for (std::uint64_t page : wanted_) {
        if (touch(page)) continue;
        if (lo && (page - *hi > kGapPages || page - *lo >= budget)) {
            if (auto r = fetch_pages(*lo, *hi); !r) return r;
            budget -= *hi - *lo + 1;
            lo.reset();
        }
        if (budget == 0) break;
        if (!lo) lo = page;
        hi = page;
    }
    if (lo) return fetch_pages(*lo, *hi);
    return {};
}

}  // namespace

Result<std::unique_ptr<ByteSource>> open_http_source(const std::string& url, const HttpSettings& settings) {
    RangeFetcher fetcher(url, settings);
    std::vector<std::uint8_t> head(kFirstRequestBytes);
    auto got = fetcher.fetch(0, head, true);
    if (!got) return fail(std::move(got.error()));
    head.resize(*got);
    const std::uint64_t size = *fetcher.file_size();
    auto source = std::make_unique<HttpSource>(std::move(fetcher), size, settings.cache_bytes);
    source->store(0, head);
    return std::unique_ptr<ByteSource>(std::move(source));
}

}  // namespace binscope::bigwig
