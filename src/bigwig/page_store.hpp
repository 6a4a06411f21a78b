// page_store.hpp - the pages of one remote score file that every reader
// of it in a run shares: pages kept, pages on their way (a request in
// flight), the least recently used kept pages dropped past a bound.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "bigwig/byte_source.hpp"
#include "bigwig/fetch_pool.hpp"
#include "error.hpp"

namespace binscope::bigwig {

// Bytes per cached page; requests start and end on page bounds (or at the
// end of the file).
inline constexpr std::uint64_t kPageBytes = 32 << 10;
// The first request asks for this much, which usually holds the header and
// the chromosome tree.
inline constexpr std::uint64_t kFirstRequestBytes = 64 << 10;

// One reader's run through the file: a request that goes on where its last
// one ended reads ahead, twice as far each time up to 32 pages; any other
// request stops that. A sorted run through the file then takes few
// requests, scattered queries fetch nothing they do not need.
struct OnwardRun {
    std::uint64_t next_page = kFirstRequestBytes / kPageBytes;  // after the last request
    std::uint64_t ahead = 0;                                     // pages its read-ahead took
};

class PageStore : public std::enable_shared_from_this<PageStore> {
public:
    // A file of `size` bytes at url, keeping at most cache_bytes of it
    // (4 pages at least), fetched through pool, which must outlive every
    // call.
    PageStore(std::string url, std::uint64_t size, std::uint64_t cache_bytes, FetchPool& pool);

    const std::string& url() const { return url_; }
    std::uint64_t size() const { return size_; }
    // Reads at least this long bypass the pages.
    std::uint64_t direct_bytes() const { return max_pages_ / 2 * kPageBytes; }

    // Keeps bytes that start at the start of page `first`.
    void keep(std::uint64_t first, std::span<const std::uint8_t> bytes);

    // Fills out with the bytes at offset (within the file), from kept
    // pages, pages on their way, and one request for the missing ones
    // (with run's read-ahead). A request of another reader that failed is
    // made again; the error is that of this reader's own request.
    Status read(std::uint64_t offset, std::span<std::uint8_t> out, OnwardRun& run);

    // Starts requests for the pages of these ranges that are neither kept
    // nor on their way, missing pages at most 2 pages apart in one request,
    // and at most half the cache in all; returns the requests started.
    std::vector<std::shared_ptr<RangeTicket>> fetch(std::span<const ByteRange> ranges, OnwardRun& run,
                                                    FetchPool::Need need);

private:
    // A page: its bytes once kept, else the request bringing it.
    struct Page {
        std::shared_ptr<const std::vector<std::uint8_t>> bytes;
        std::shared_ptr<RangeTicket> ticket;
        std::list<std::uint64_t>::iterator use;  // when kept
    };

    // Marks kept page `page` used; false when it is not kept.
    bool touch(std::uint64_t page);
    // The request for pages [first, last] and run's read-ahead past them,
    // the missing ones marked as on their way; call with mutex_ held and
    // submit the ticket after releasing it.
    std::shared_ptr<RangeTicket> plan(std::uint64_t first, std::uint64_t last, OnwardRun& run);
    void submit(std::shared_ptr<RangeTicket> ticket, FetchPool::Need need);
    // The pool's word on a request of this store.
    void answered(const RangeTicket& ticket, const Result<std::span<const std::uint8_t>>& got);
    void keep_locked(std::uint64_t first, std::span<const std::uint8_t> bytes);
    // One pass of read(); false in `again` when a request of another reader
    // failed.
    Status read_pass(std::uint64_t offset, std::span<std::uint8_t> out, OnwardRun& run, bool& again);

    std::string url_;
    std::uint64_t size_;
    std::uint64_t max_pages_;
    FetchPool& pool_;
    mutable std::mutex mutex_;  // guards what follows
    std::unordered_map<std::uint64_t, Page> pages_;
    std::list<std::uint64_t> uses_;  // kept page numbers, most recently used first
};

}  // namespace binscope::bigwig
