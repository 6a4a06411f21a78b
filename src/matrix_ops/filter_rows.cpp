// filter_rows.cpp - the rows that pass the filters asked for, decided in a
// first pass over the file and written in a second: the header, which
// comes first, counts the rows of every group.
#include <cmath>
#include <fmt/format.h>
#include <unordered_set>

#include "bed_reader.hpp"
#include "matrix/filter.hpp"
#include "matrix_ops/matrix_ops.hpp"
#include "matrix_ops/op_support.hpp"
#include "matrix_ops/row_plan.hpp"
#include "utf8.hpp"

namespace binscope {

namespace {

// One filter: its option as the warning names it and the rows it dropped.
struct RowTest {
    std::string option;
    std::function<bool(const Region&, std::span<const float>)> passes;
    std::size_t dropped = 0;
};

// The regions the files list, read as plain BED and as BED12 blocks, so
// that a row matches whichever way its run read them.
OpResult<std::unordered_set<std::string>> listed_regions(const std::vector<std::string>& paths, std::size_t threads) {
    std::unordered_set<std::string> keys;
    for (const bool metagene : {false, true}) {
        auto set = read_regions(paths, metagene, threads);
        if (!set) return file_error(std::move(set.error()));
        for (const Region& region : set->regions) keys.insert(region_key(region));
    }
    return keys;
}

std::string number_text(double value) { return fmt::format("{}", value); }

OpResult<std::vector<RowTest>> row_tests(const FilterSettings& s, Params& params) {
    std::vector<RowTest> tests;
    if (s.strand) {
        const char32_t strand = static_cast<char32_t>(*s.strand);
        tests.push_back({fmt::format("--strand {}", *s.strand),
                         [strand](const Region& r, std::span<const float>) { return r.strand == strand; }});
    }
    if (!s.regions_files.empty()) {
        auto keys = listed_regions(s.regions_files, params.numberOfProcessors);
        if (!keys) return std::unexpected(std::move(keys.error()));
        auto shared = std::make_shared<std::unordered_set<std::string>>(std::move(*keys));
        tests.push_back({"--regionsFileName", [shared](const Region& r, std::span<const float>) {
                             return shared->contains(region_key(r));
                         }});
    }
    if (s.min) {
        const double low = *s.min;
        tests.push_back({"--min " + number_text(low), [low](const Region&, std::span<const float> v) {
                             return std::none_of(v.begin(), v.end(), [&](float x) { return x < low; });
                         }});
    }
    if (s.max) {
        const double high = *s.max;
        tests.push_back({"--max " + number_text(high), [high](const Region&, std::span<const float> v) {
                             return std::none_of(v.begin(), v.end(), [&](float x) { return x > high; });
                         }});
    }
    if (s.skip_zeros) {
        params.skipZeros = true;
        tests.push_back({"--skipZeros", [](const Region&, std::span<const float> v) { return !is_zero_row(v); }});
    }
    if (s.min_threshold || s.max_threshold) {
        if (params.scale != 1.0)
            return usage_error(fmt::format("--minThreshold and --maxThreshold test unscaled values, but the values of "
                                           "{} were scaled by {}",
                                           to_utf8_lossy(s.input), number_text(params.scale)));
        Params thresholds;
        thresholds.minThreshold = s.min_threshold;
        thresholds.maxThreshold = s.max_threshold;
        // A threshold already recorded still holds: the stricter is recorded.
        if (s.min_threshold)
            params.minThreshold = params.minThreshold ? std::max(*params.minThreshold, *s.min_threshold) : *s.min_threshold;
        if (s.max_threshold)
            params.maxThreshold = params.maxThreshold ? std::min(*params.maxThreshold, *s.max_threshold) : *s.max_threshold;
        tests.push_back({"the thresholds", [thresholds](const Region&, std::span<const float> v) {
                             return passes_thresholds(v, thresholds);
                         }});
    }
    return tests;
}

std::string emptied_by(const std::vector<RowTest>& tests) {
    std::string out;
    for (const RowTest& test : tests) {
        if (test.dropped == 0) continue;
        if (!out.empty()) out += ", ";
        out += fmt::format("{} dropped {}", test.option, test.dropped);
    }
    return out;
}

}  // namespace

OpStatus matrix_filter(const FilterSettings& settings) {
    auto stream = MatrixRowStream::open(settings.input);
    if (!stream) return file_error(std::move(stream.error()));
    const MatrixHeader header = stream->header();
    auto params = output_params(header, settings.input, settings.output);
    if (!params) return std::unexpected(std::move(params.error()));
    auto tests = row_tests(settings, *params);
    if (!tests) return std::unexpected(std::move(tests.error()));

    RowPlan plan;
    plan.inputs = {settings.input};
    plan.runs.push_back({0, 0, stream->rows()});
    plan.keep.reserve(stream->rows());
    GroupRunBuilder groups;
    std::size_t group = 0;
    const auto scanned = scan_rows(*stream, [&](const Region& region, const float* values) {
        const std::span<const float> row(values, stream->cols());
        bool kept = true;
        for (RowTest& test : *tests)
            if (!test.passes(region, row)) {
                ++test.dropped;
                kept = false;
                break;
            }
        plan.keep.push_back(kept);
        group = region.group;
        if (kept) groups.add(1, header.group_labels[group], group);
    });
    if (!scanned) return file_error(std::move(scanned.error()));
    stream = std::unexpected(Error());  // closed before the second pass
    if (planned_rows(plan) == 0 && !plan.keep.empty())
        warn(fmt::format("no row passed the filters ({}): {} is written without rows", emptied_by(*tests),
                         settings.output.path));
    return write_planned(plan, groups.finish(), header.sample_labels, *params, settings.output);
}

}  // namespace binscope
