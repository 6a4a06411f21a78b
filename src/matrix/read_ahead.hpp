// read_ahead.hpp - remote score files fetched ahead of the workers: the
// data blocks of the coming regions, found in the files' indexes in region
// order within a bounded window ahead of the slowest worker, asked for
// while the workers compute. What a worker reads is the same bytes
// whichever request brings them.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bigwig/http_source.hpp"
#include "bigwig_reader.hpp"
#include "binning.hpp"
#include "params.hpp"
#include "region.hpp"
#include "region/zones.hpp"

namespace binscope {

// Regions planned at most this far past the slowest worker.
inline constexpr std::size_t kReadAheadRegions = 4096;
// Regions whose blocks are asked for together.
inline constexpr std::size_t kReadAheadBatch = 16;
// Each remote file's shared pages; the bytes planned ahead stay within half
// of this per remote file.
inline constexpr std::uint64_t kRemoteCacheBytes = 16 << 20;

// The session of the run's remote files (at most params.remoteConnections
// requests in flight per host), or nothing when every path is a local
// file.
std::unique_ptr<bigwig::RemoteSession> remote_session(const std::vector<std::string>& paths, const Params& params);

class RegionReadAhead {
public:
    // Starts planning on a thread of its own, for the remote paths among
    // paths (samples in the same order), `workers` workers moving through
    // regions.
    RegionReadAhead(const std::vector<Region>& regions, const std::vector<Sample>& samples,
                    const std::vector<std::string>& paths, const Params& params, bigwig::RemoteSession& session,
                    std::size_t workers);
    // Stops planning and joins the thread.
    ~RegionReadAhead();
    RegionReadAhead(const RegionReadAhead&) = delete;
    RegionReadAhead& operator=(const RegionReadAhead&) = delete;

    // Worker `worker` now computes region i; regions.size() once it has no
    // more.
    void at(std::size_t worker, std::size_t i);

private:
    void run();
    // Opens a reader of every remote file on the planning thread.
    void open_readers();
    // Adds the blocks of region i to each reader's planned ones.
    void plan(std::size_t i);
    // Asks for the blocks of regions [first, end); the bytes asked for.
    std::uint64_t plan_batch(std::size_t first, std::size_t end);
    std::size_t slowest() const;

    const std::vector<Region>& regions_;
    const std::vector<Sample>& samples_;
    const std::vector<std::string>& paths_;
    const Params& params_;
    bigwig::RemoteSession& session_;
    std::uint64_t max_ahead_bytes_ = 0;
    ZoneLayout layout_;  // the planning thread's scratch
    ZoneScratch zones_;
    BinScratch bins_;
    std::vector<std::pair<std::size_t, std::unique_ptr<BigWigReader>>> readers_;  // sample index, reader
    std::vector<std::atomic<std::size_t>> positions_;                              // of each worker
    std::deque<std::pair<std::size_t, std::uint64_t>> planned_;                    // region, bytes asked
    std::mutex mutex_;                                                             // with moved_
    std::condition_variable moved_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace binscope
