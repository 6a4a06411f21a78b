// compute.cpp - rows of the score matrix, computed region by region on a
// worker pool, then assembled in group and region order.
#include "matrix/compute.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <new>
#include <numeric>
#include <optional>
#include <span>
#include <unistd.h>

#include "binning.hpp"
#include "binning_aggregate.hpp"
#include "bigwig_reader.hpp"
#include "matrix/filter.hpp"
#include "matrix/read_ahead.hpp"
#include "progress.hpp"
#include "region/zones.hpp"
#include "worker_pool.hpp"

namespace binscope {

namespace {

constexpr std::size_t kMaxThreads = 65535;

// What became of one region's row.
struct MatrixRow {
    bool kept = false;    // passed the thresholds
    bool no_data = true;  // not one value was a number before missing->0
};

// Columns per sample: bins_per_sample, or 0 when binSize is below 1.
std::size_t row_width(const Params& params) {
    if (params.binSize < 1) return 0;
    return static_cast<std::size_t>(std::max<std::int64_t>(bins_per_sample(params), 0));
}

// Everything a worker keeps from one region to the next: its own readers
// of the score files and the buffers of the layout and the bins.
struct WorkerScratch {
    ReaderCache readers;
    ZoneLayout layout;
    ZoneScratch zones;
    BinScratch bins;
};

// The work of one region on a worker thread, with that worker's scratch:
// the row goes into `out` (samples x row_width values).
MatrixRow compute_row(const Region& region, const std::vector<Sample>& samples, const Params& params,
                      WorkerScratch& scratch, std::span<float> out) {
    const std::size_t width = row_width(params);
    MatrixRow row;
    if (compute_zones(region, params, scratch.layout, scratch.zones)) {
        for (std::size_t k = 0; k < samples.size(); ++k)
            sample_bins(scratch.readers, scratch.bins, k, samples[k], region, scratch.layout, params,
                        out.subspan(k * width, width));
        row.no_data = std::none_of(out.begin(), out.end(), [](float v) { return !std::isnan(v); });
    } else {
        std::fill(out.begin(), out.end(), missing_value());
    }
    if (params.missingDataAsZero)
        for (float& v : out)
            if (std::isnan(v)) v = 0.0f;
    if (!passes_thresholds(out, params)) return row;
    row.kept = true;
    if (params.scale != 1.0) {
        const float factor = static_cast<float>(params.scale);
        for (float& v : out) v *= factor;
    }
    return row;
}

Error too_large(std::size_t rows, std::int64_t cols) {
    return Error(fmt::format("The matrix of {} rows x {} cols does not fit in this machine's memory", rows, cols));
}

// Room for every region's row, left uninitialised; refused up front when
// it could never fit in the machine's memory, which beats being killed
// halfway through the computation.
Result<MatrixValues> allocate_rows(std::size_t rows, std::size_t samples, const Params& params) {
    std::int64_t cols = 0;
    if (__builtin_mul_overflow(static_cast<std::int64_t>(samples), bins_per_sample(params), &cols)) cols = -1;
    std::size_t cells = 0, bytes = 0;
    if (cols < 0 || __builtin_mul_overflow(rows, static_cast<std::size_t>(cols), &cells) ||
        __builtin_mul_overflow(cells, sizeof(float), &bytes))
        return fail(too_large(rows, cols));
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long page_size = sysconf(_SC_PAGE_SIZE);
    std::size_t memory = 0;
    if (pages > 0 && page_size > 0 &&
        !__builtin_mul_overflow(static_cast<std::size_t>(pages), static_cast<std::size_t>(page_size), &memory) &&
        bytes > memory)
        return fail(too_large(rows, cols));
    try {
        return MatrixValues(rows * samples * row_width(params));
    } catch (const std::bad_alloc&) {
        return fail(too_large(rows, cols));
    }
}

// Every region's row into its slot of `values`, on the worker pool.
Status compute_rows(const std::vector<Region>& regions, const std::vector<Sample>& samples,
                    const std::vector<std::string>& score_file_paths, const Params& params, std::size_t cols,
                    float* values, std::vector<MatrixRow>& rows, const std::atomic<bool>* cancel) {
    LiveStatus status(params.quiet, "Computing matrix", "regions", regions.size());
    const std::size_t threads = std::min(std::max<std::size_t>(params.numberOfProcessors, 1), kMaxThreads);
    ChunkCounter counter(regions.size(), chunk_size(regions.size(), threads));
    auto stopped = [cancel] { return cancel != nullptr && cancel->load(std::memory_order_relaxed); };
    // Remote files: one pool of requests in flight for all workers, and the
    // coming regions' blocks asked for ahead of them.
    auto session = remote_session(score_file_paths, params);
    std::optional<RegionReadAhead> ahead;
    if (session) ahead.emplace(regions, samples, score_file_paths, params, *session, threads);
    auto computed = run_on_workers(threads, [&](std::size_t worker, const std::atomic<bool>& cancelled) {
        WorkerScratch scratch;  // the worker's own, kept for all its regions
        std::size_t begin = 0, end = 0;
        while (!cancelled.load(std::memory_order_relaxed) && !stopped() && counter.next(begin, end)) {
            std::size_t i = begin;
            for (; i < end && !stopped(); ++i) {
                if (ahead) ahead->at(worker, i);
                scratch.readers.open(score_file_paths, session.get());
                rows[i] = compute_row(regions[i], samples, params, scratch, std::span<float>(values + i * cols, cols));
            }
            status.add(i - begin);
        }
        if (ahead) ahead->at(worker, regions.size());
    });
    ahead.reset();
    if (computed && stopped()) return fail("Interrupted");
    return computed;
}

// The kept rows, by (group, region index), as the matrix.
Matrix compact(RegionSet region_set, const std::vector<Sample>& samples, MatrixValues values, std::size_t cols,
               const std::vector<MatrixRow>& rows) {
    const std::vector<Region>& regions = region_set.regions;
    std::vector<std::size_t> kept;
    kept.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].kept) kept.push_back(i);
    // The region readers deliver non-decreasing groups, so this is nearly
    // always the input order already.
    auto by_group = [&](std::size_t a, std::size_t b) { return regions[a].group < regions[b].group; };
    if (!std::is_sorted(kept.begin(), kept.end(), by_group)) std::stable_sort(kept.begin(), kept.end(), by_group);

    Matrix m;
    m.cols = cols;
    m.values = std::move(values);
    m.row_regions.resize(regions.size());
    std::iota(m.row_regions.begin(), m.row_regions.end(), std::size_t{0});
    m.region_set = std::move(region_set);
    m.select_rows(kept);
    for (std::size_t i : kept) m.no_data_rows += rows[i].no_data ? 1 : 0;
    m.group_boundaries = compute_group_boundaries(m);
    for (const Sample& s : samples) m.sample_labels.push_back(s.label);
    return m;
}

}  // namespace

Result<Matrix> build_matrix(RegionSet region_set, const std::vector<Sample>& samples,
                            const std::vector<std::string>& score_file_paths, const Params& params,
                            const std::atomic<bool>* cancel) {
    const std::size_t count = region_set.regions.size();
    auto values = allocate_rows(count, samples.size(), params);
    if (!values) return fail(std::move(values.error()));
    std::vector<MatrixRow> rows(count);
    const std::size_t cols = samples.size() * row_width(params);
    if (auto computed = compute_rows(region_set.regions, samples, score_file_paths, params, cols, values->data(), rows,
                                     cancel);
        !computed)
        return fail(std::move(computed.error()));
    return compact(std::move(region_set), samples, std::move(*values), cols, rows);
}

}  // namespace binscope
