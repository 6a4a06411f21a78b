// run_query.cpp - sorted records handed out block by block; any others
// painted a window at a time and read back as runs.
#include "bigwig/run_query.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

#include "bigwig/section_decoder.hpp"

namespace binscope::bigwig {

namespace {

// Bases painted at a time by a RunOrder::Painted query.
constexpr std::uint32_t kWindow = 1 << 16;

// Appends the runs of equal values of `values` (bases from `from` on) to
// out, leaving out the NaN ones.
void read_back(const std::vector<float>& values, std::uint32_t from, std::vector<ScoreRun>& out) {
    for (std::size_t i = 0; i < values.size();) {
        const std::uint32_t bits = std::bit_cast<std::uint32_t>(values[i]);
        std::size_t j = i + 1;
        while (j < values.size() && std::bit_cast<std::uint32_t>(values[j]) == bits) ++j;
        if (!std::isnan(values[i]))
            out.push_back({from + static_cast<std::uint32_t>(i), from + static_cast<std::uint32_t>(j), values[i]});
        i = j;
    }
}

}  // namespace

void RunQuery::begin(std::uint32_t chrom, std::uint32_t start, std::uint32_t end, RunOrder order,
                     const std::vector<DataBlock>& blocks) {
    chrom_ = chrom;
    start_ = start;
    end_ = end;
    order_ = order;
    blocks_.assign(blocks.begin(), blocks.end());
    next_block_ = 0;
    done_ = start;
    if (order == RunOrder::Painted) extents_.assign(blocks.size(), Extent{});
}

Result<RunBatch> RunQuery::next(ByteSource& source, ByteOrder order, BlockCache& cache) {
    batch_.clear();
    if (order_ == RunOrder::Sorted) return next_sorted(source, order, cache);
    return next_painted(source, order, cache);
}

Result<RunBatch> RunQuery::next_sorted(ByteSource& source, ByteOrder order, BlockCache& cache) {
    // Every block is visited, as values_into() visits them, so that a block
    // that fails to decode fails the query here too.
    while (next_block_ < blocks_.size()) {
        auto section = cache.get(source, order, blocks_[next_block_++]);
        if (!section) return fail(std::move(section.error()));
        auto sorted = append_runs(**section, chrom_, start_, end_, done_, batch_);
        if (!sorted) return fail(std::move(sorted.error()));
        if (!*sorted) return RunBatch{{}, true};
        if (!batch_.empty()) return RunBatch{batch_};
    }
    return RunBatch{};
}

Result<RunBatch> RunQuery::next_painted(ByteSource& source, ByteOrder order, BlockCache& cache) {
    while (batch_.empty() && done_ < end_) {
        const std::uint32_t from = done_;
        window_.assign(std::min(kWindow, end_ - from), std::numeric_limits<float>::quiet_NaN());
        if (auto r = paint(from, source, order, cache); !r) return fail(std::move(r.error()));
        read_back(window_, from, batch_);
        done_ = from + static_cast<std::uint32_t>(window_.size());
    }
    return RunBatch{batch_};
}

Status RunQuery::paint(std::uint32_t from, ByteSource& source, ByteOrder order, BlockCache& cache) {
    const std::uint32_t to = from + static_cast<std::uint32_t>(window_.size());
    // Painting is base by base, so a window painted from all the blocks in
    // their order holds what the whole interval painted at once holds.
    // The first window decodes every block and notes its extent; later
    // windows skip the blocks that cannot reach them.
    for (std::size_t j = 0; j < blocks_.size(); ++j) {
        Extent& extent = extents_[j];
        if (extent.known && (extent.last <= from || extent.first >= to)) continue;
        auto section = cache.get(source, order, blocks_[j]);
        if (!section) return fail(std::move(section.error()));
        if (auto r = write_section(**section, chrom_, from, to, window_); !r) return r;
        if (extent.known) continue;
        extent = Extent{std::numeric_limits<std::uint32_t>::max(), 0, true};
        if ((*section)->chrom_id == chrom_)
            for (const Run& run : (*section)->runs)
                if (run.start < run.end) {
                    extent.first = std::min(extent.first, run.start);
                    extent.last = std::max(extent.last, run.end);
                }
    }
    return {};
}

}  // namespace binscope::bigwig
