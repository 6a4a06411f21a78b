// read_ahead.cpp - the planning thread: a few regions at a time, the
// rows' stretches of every remote file as the workers will read them,
// their blocks found in the index and asked for together (neighbours in
// one request); it waits while it is a window (in regions or in bytes)
// ahead of the slowest worker.
#include "matrix/read_ahead.hpp"

#include <algorithm>
#include <chrono>

#include "bigwig/reader.hpp"
#include "text_input_path.hpp"

namespace binscope {

std::unique_ptr<bigwig::RemoteSession> remote_session(const std::vector<std::string>& paths, const Params& params) {
    if (std::none_of(paths.begin(), paths.end(), [](const std::string& p) { return is_url(p); })) return nullptr;
    bigwig::HttpSettings settings;
    settings.cache_bytes = kRemoteCacheBytes;
    return std::make_unique<bigwig::RemoteSession>(std::max<std::size_t>(params.remoteConnections, 1), settings);
}

RegionReadAhead::RegionReadAhead(const std::vector<Region>& regions, const std::vector<Sample>& samples,
                                 const std::vector<std::string>& paths, const Params& params,
                                 bigwig::RemoteSession& session, std::size_t workers)
    : regions_(regions), samples_(samples), paths_(paths), params_(params), session_(session), positions_(workers) {
    for (auto& p : positions_) p.store(0);
    thread_ = std::thread([this] { run(); });
}

RegionReadAhead::~RegionReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    moved_.notify_all();
    thread_.join();
}

void RegionReadAhead::at(std::size_t worker, std::size_t i) {
    positions_[worker].store(i, std::memory_order_relaxed);
    std::lock_guard lock(mutex_);
    moved_.notify_all();
}

std::size_t RegionReadAhead::slowest() const {
    std::size_t least = regions_.size();
    for (const auto& p : positions_) least = std::min(least, p.load(std::memory_order_relaxed));
    return least;
}

void RegionReadAhead::open_readers() {
    for (std::size_t k = 0; k < paths_.size() && k < samples_.size(); ++k) {
        if (!is_url(paths_[k])) continue;
        auto reader = BigWigReader::open(paths_[k], &session_);
        if (reader) readers_.emplace_back(k, std::make_unique<BigWigReader>(std::move(*reader)));
    }
    max_ahead_bytes_ = readers_.size() * (kRemoteCacheBytes / 2);
}

void RegionReadAhead::plan(std::size_t i) {
    if (!compute_zones(regions_[i], params_, layout_, zones_)) return;
    for (auto& [k, reader] : readers_) {
        auto row = sample_stretches(samples_[k], regions_[i], layout_, params_, bins_);
        if (!row) continue;
        for (const Stretch& s : bins_.stretches) {
            if (s.mode != Stretch::Mode::Sorted) continue;
            const auto from = static_cast<std::uint32_t>(s.start);
            const auto to = static_cast<std::uint32_t>(s.start + static_cast<std::int64_t>(s.length));
            // A failure here is met again, and handled, by the worker's own read.
            if (from < to) (void)reader->plan_blocks(row->first, from, to);
        }
    }
}

std::uint64_t RegionReadAhead::plan_batch(std::size_t first, std::size_t end) {
    for (std::size_t i = first; i < end && !stopping_; ++i) plan(i);
    std::uint64_t asked = 0;
    for (auto& [k, reader] : readers_) asked += reader->fetch_planned();
    return asked;
}

void RegionReadAhead::run() {
    try {
        open_readers();
        std::uint64_t ahead_bytes = 0;
        for (std::size_t next = 0; !stopping_ && !readers_.empty();) {
            const std::size_t least = slowest();
            while (!planned_.empty() && planned_.front().first < least) {
                ahead_bytes -= planned_.front().second;
                planned_.pop_front();
            }
            next = std::max(next, least);
            if (next >= regions_.size()) break;
            if (next >= least + kReadAheadRegions || ahead_bytes > max_ahead_bytes_) {
                std::unique_lock lock(mutex_);
                moved_.wait_for(lock, std::chrono::milliseconds(50),
                                [&] { return stopping_.load() || slowest() != least; });
                continue;
            }
            const std::size_t end = std::min({next + kReadAheadBatch, least + kReadAheadRegions, regions_.size()});
            const std::uint64_t asked = plan_batch(next, end);
            planned_.emplace_back(end - 1, asked);
            ahead_bytes += asked;
            next = end;
        }
    } catch (...) {
        // Reading ahead only saves waiting; the workers read everything
        // they need themselves.
    }
    readers_.clear();
}

}  // namespace binscope
