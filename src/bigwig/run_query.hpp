// run_query.hpp - the runs of scores over one interval, handed out in
// position order a block (or a window of bases) at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "bigwig/block_cache.hpp"
#include "bigwig/format.hpp"
#include "bigwig/rtree_index.hpp"
#include "error.hpp"

namespace binscope::bigwig {

class RunQuery {
public:
    // Starts on [start, end) of chromosome chrom, over the interval's
    // checked blocks in search order.
    void begin(std::uint32_t chrom, std::uint32_t start, std::uint32_t end, RunOrder order,
               const std::vector<DataBlock>& blocks);

    // The next runs (see BigWigReader::next_runs).
    Result<RunBatch> next(ByteSource& source, ByteOrder order, BlockCache& cache);

private:
    // The bases a block's runs of this chromosome cover, once it has been
    // decoded; empty for a block of another chromosome.
    struct Extent {
        std::uint32_t first = 0, last = 0;
        bool known = false;
    };

    Result<RunBatch> next_sorted(ByteSource& source, ByteOrder order, BlockCache& cache);
    Result<RunBatch> next_painted(ByteSource& source, ByteOrder order, BlockCache& cache);
    // Paints window_ (bases from `from` on) with every block that may reach
    // it, in block order.
    Status paint(std::uint32_t from, ByteSource& source, ByteOrder order, BlockCache& cache);

    std::uint32_t chrom_ = 0, start_ = 0, end_ = 0;
    RunOrder order_ = RunOrder::Sorted;
    std::vector<DataBlock> blocks_;
    std::size_t next_block_ = 0;  // Sorted: the next block to hand out
    std::uint32_t done_ = 0;      // the end of the last run (Sorted) or window (Painted) handed out
    std::vector<ScoreRun> batch_;
    std::vector<float> window_;    // Painted
    std::vector<Extent> extents_;  // Painted, one per block
};

}  // namespace binscope::bigwig
