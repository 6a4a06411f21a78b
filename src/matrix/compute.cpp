// compute.cpp - rows of the score matrix, computed region by region on a
// worker pool, then assembled in group and region order.
#include "matrix/compute.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <new>

#include "matrix/filter.hpp"
#include "matrix/worker_pool.hpp"

namespace binscope {

namespace {

constexpr std::size_t kMaxThreads = 65535;
// Values a worker computes ahead into its own buffer while the slots are
// being allocated (16 MiB).
constexpr std::size_t kEarlyValues = std::size_t{4} << 20;

}  // namespace

std::size_t row_width(const Params& params) {
    if (params.binSize < 1) return 0;
    return static_cast<std::size_t>(std::max<std::int64_t>(bins_per_sample(params), 0));
}

RowOutcome compute_row_into(const Region& region, const std::vector<Sample>& samples, const Params& params,
                            std::vector<std::optional<BigWigReader>>& readers, BinScratch& scratch,
                            std::span<float> out) {
    const std::size_t width = row_width(params);
    RowOutcome outcome;
    if (compute_zones_into(region, params, scratch.layout, scratch.zone_scratch)) {
        for (std::size_t k = 0; k < samples.size(); ++k) {
            BigWigReader* reader = k < readers.size() && readers[k] ? &*readers[k] : nullptr;
            sample_bins(reader, samples[k], region, scratch.layout, params, out.subspan(k * width, width),
                        scratch);
        }
        outcome.no_data = std::none_of(out.begin(), out.end(), [](float v) { return !std::isnan(v); });
    } else {
        std::fill(out.begin(), out.end(), missing_value());
    }
    if (params.missingDataAsZero)
        for (float& v : out)
            if (std::isnan(v)) v = 0.0f;
    if (!passes_thresholds(out, params)) return outcome;
    outcome.kept = true;
    if (params.scale != 1.0) {
        const float factor = static_cast<float>(params.scale);
        for (float& v : out) v *= factor;
    }
    return outcome;
}

std::optional<MatrixRow> compute_row(std::uint64_t region_index, const Region& region,
                                     const std::vector<Sample>& samples, const Params& params,
                                     ReaderCache& cache, const std::vector<std::string>& score_file_paths,
                                     BinScratch& scratch) {
    auto& readers = cache.readers(score_file_paths);
    MatrixRow row;
    row.region_index = region_index;
    row.values.resize(samples.size() * row_width(params));
    const RowOutcome outcome = compute_row_into(region, samples, params, readers, scratch, row.values);
    if (!outcome.kept) return std::nullopt;
    row.no_data = outcome.no_data;
    return row;
}

Result<Matrix> build_matrix(const RegionSet& region_set, const std::vector<Sample>& samples,
                            const std::vector<std::string>& score_file_paths, const Params& params) {
    const std::vector<Region>& regions = region_set.regions;
    const std::size_t width = row_width(params);
    const std::size_t count = regions.size();
    std::size_t cols = 0, cells = 0;
    if (__builtin_mul_overflow(samples.size(), width, &cols) || __builtin_mul_overflow(count, cols, &cells) ||
        cells > std::vector<float>().max_size())
        return fail(fmt::format("The matrix of {} rows x {} samples x {} bins is too large", count,
                                samples.size(), width));

    // Each region's row goes into its slot; when every row is kept, as
    // usual, the slots become the matrix without a copy.
    std::vector<float> slots;
    std::vector<RowOutcome> outcomes;
    try {
        outcomes.resize(count);
    } catch (const std::bad_alloc&) {
        return fail(fmt::format("The matrix of {} rows x {} cols does not fit in memory", count, cols));
    }
    // The first worker allocates (and so zero-fills) the slots while the
    // others already compute their first rows into a buffer of their own:
    // filling a large matrix is the one long serial step of the stage.
    std::atomic<bool> slots_ready{false};
    std::atomic<bool> slots_failed{false};

    const std::size_t threads = std::min(std::max<std::size_t>(params.numberOfProcessors, 1), kMaxThreads);
    ChunkCounter counter(count, chunk_size(count, threads));
    auto status = run_on_workers(threads, [&](std::size_t worker, const std::atomic<bool>& cancelled) {
        if (worker == 0) {
            try {
                slots.resize(cells);
            } catch (const std::bad_alloc&) {
                slots_failed.store(true);
            }
            slots_ready.store(true, std::memory_order_release);
            slots_ready.notify_all();
        }
        // The thread's own readers and buffers, kept for all its regions.
        ReaderCache cache;
        BinScratch scratch;
        // Chunks computed before the slots exist, and their values.
        struct EarlyChunk {
            std::size_t begin, end, offset;
        };
        std::vector<EarlyChunk> early_chunks;
        std::vector<float> early;
        auto place_early = [&] {
            for (const EarlyChunk& c : early_chunks)
                std::copy_n(early.data() + c.offset, (c.end - c.begin) * cols, slots.data() + c.begin * cols);
            early_chunks.clear();
            early = {};
        };
        std::size_t begin = 0, end = 0;
        while (!cancelled.load(std::memory_order_relaxed) && counter.next(begin, end)) {
            const std::size_t values = (end - begin) * cols;
            float* first = nullptr;  // where row `begin` goes
            if (!slots_ready.load(std::memory_order_acquire) && early.size() + values <= kEarlyValues) {
                const std::size_t at = early.size();
                early.resize(at + values);
                early_chunks.push_back({begin, end, at});
                first = early.data() + at;
            } else {
                slots_ready.wait(false, std::memory_order_acquire);
                if (slots_failed.load()) break;
                place_early();
                first = slots.data() + begin * cols;
            }
            for (std::size_t i = begin; i < end; ++i) {
                auto& readers = cache.readers(score_file_paths);
                outcomes[i] = compute_row_into(regions[i], samples, params, readers, scratch,
                                               std::span<float>(first + (i - begin) * cols, cols));
            }
        }
        if (!early_chunks.empty() && !cancelled.load()) {
            slots_ready.wait(false, std::memory_order_acquire);
            if (!slots_failed.load()) place_early();
        }
    });
    if (!status) return fail(std::move(status.error()));
    if (slots_failed.load())
        return fail(fmt::format("The matrix of {} rows x {} cols does not fit in memory", count, cols));

    // Kept rows by (group, region index); the region readers deliver
    // non-decreasing groups, so this is nearly always the input order.
    std::vector<std::size_t> kept;
    kept.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        if (outcomes[i].kept) kept.push_back(i);
    auto by_group = [&](std::size_t a, std::size_t b) { return regions[a].group < regions[b].group; };
    const bool in_order = std::is_sorted(kept.begin(), kept.end(), by_group);
    if (!in_order) std::stable_sort(kept.begin(), kept.end(), by_group);

    Matrix m;
    m.cols = cols;
    if (kept.size() == count && in_order) {
        m.values = std::move(slots);
    } else if (in_order) {
        // Rows only move towards the front: compact in place, then give
        // back the rejected rows' memory.
        for (std::size_t r = 0; r < kept.size(); ++r)
            if (kept[r] != r)
                std::copy_n(slots.begin() + static_cast<std::ptrdiff_t>(kept[r] * cols), cols,
                            slots.begin() + static_cast<std::ptrdiff_t>(r * cols));
        slots.resize(kept.size() * cols);
        slots.shrink_to_fit();
        m.values = std::move(slots);
    } else {
        m.values.resize(kept.size() * cols);
        for (std::size_t r = 0; r < kept.size(); ++r)
            std::copy_n(slots.begin() + static_cast<std::ptrdiff_t>(kept[r] * cols), cols,
                        m.values.begin() + static_cast<std::ptrdiff_t>(r * cols));
    }

    m.regions.reserve(kept.size());
    for (std::size_t i : kept) {
        m.regions.push_back(regions[i]);
        if (outcomes[i].no_data) ++m.no_data_rows;
    }
    m.group_boundaries = compute_group_boundaries(m.regions);
    m.group_names = region_set.groups;
    m.sample_labels.reserve(samples.size());
    for (const Sample& s : samples) m.sample_labels.push_back(s.label);
    return m;
}

}  // namespace binscope
