// reference_row.cpp - the plain per-base row.
#include "support/reference_row.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>

namespace binscope::testing {

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

}  // namespace

Result<std::vector<float>> read_values(BigWigReader& reader, std::string_view chrom, std::uint32_t start,
                                       std::uint32_t end) {
    std::vector<float> out(end - start, kNaN);
    if (auto begun = reader.begin_runs(chrom, start, end, RunOrder::Painted); !begun)
        return fail(std::move(begun.error()));
    for (;;) {
        auto batch = reader.next_runs();
        if (!batch) return fail(std::move(batch.error()));
        if (batch->runs.empty()) return out;
        for (const ScoreRun& run : batch->runs)
            std::fill(out.begin() + (run.start - start), out.begin() + (run.end - start), run.value);
    }
}

void interval_values(BigWigReader& reader, std::string_view name, std::uint32_t length, std::int64_t start,
                     std::int64_t end, std::span<float> out) {
    std::fill(out.begin(), out.end(), kNaN);
    if (end <= start || static_cast<std::uint64_t>(end - start) != out.size()) return;
    const std::int64_t qs = std::max<std::int64_t>(start, 0);
    const std::int64_t qe = std::max<std::int64_t>(std::min<std::int64_t>(end, length), 0);
    if (qe <= qs) return;
    auto values = read_values(reader, name, static_cast<std::uint32_t>(qs), static_cast<std::uint32_t>(qe));
    if (values) std::copy(values->begin(), values->end(), out.begin() + (qs - start));
}

namespace {

// The statistic of one bin by its plain definition, base by base: NaN
// values are missing; a bin without a number is NaN. Sums run left to
// right from -0.0, one single-precision addition per base; the median
// sorts (-0.0 before 0.0); std is sqrt(sum of (v - mean)^2 / n).
float reference_statistic(std::span<const float> values, AverageType type) {
    std::vector<float> numbers;
    for (float v : values)
        if (!std::isnan(v)) numbers.push_back(v);
    if (numbers.empty()) return kNaN;
    const float n = static_cast<float>(numbers.size());
    float sum = -0.0f;
    for (float v : numbers) sum += v;
    switch (type) {
        case AverageType::Sum: return sum;
        case AverageType::Mean: return sum / n;
        case AverageType::Min: return *std::min_element(numbers.begin(), numbers.end());
        case AverageType::Max: return *std::max_element(numbers.begin(), numbers.end());
        case AverageType::Std: {
            const float mean = sum / n;
            float q = -0.0f;
            for (float v : numbers) q += (v - mean) * (v - mean);
            return std::sqrt(q / n);
        }
        case AverageType::Median: {
            // Ascending, -0.0 before 0.0.
            std::sort(numbers.begin(), numbers.end(),
                      [](float a, float b) { return a < b || (a == b && std::signbit(a) && !std::signbit(b)); });
            const std::size_t mid = numbers.size() / 2;
            return numbers.size() % 2 == 1 ? numbers[mid] : (numbers[mid - 1] + numbers[mid]) * 0.5f;
        }
    }
    return kNaN;
}

// The zone's intervals clipped to [.., length), and its bin count.
std::pair<std::vector<Block>, std::int64_t> clip(const Zone& zone, std::int64_t length, std::int64_t bin_size) {
    std::vector<Block> kept;
    bool cut = false;
    for (Block b : zone.intervals) {
        if (b.start >= length) {
            cut = true;
            continue;
        }
        if (b.end > length) b.end = length, cut = true;
        if (b.end > b.start) kept.push_back(b);
    }
    std::int64_t total = 0;
    for (const Block& b : kept) total += b.end - b.start;
    return {kept, cut ? total / bin_size : zone.bins};
}

}  // namespace

std::vector<float> reference_row(BigWigReader& reader, const Sample& sample, const Region& region,
                                 const ZoneLayout& layout, const Params& params) {
    const auto width = static_cast<std::size_t>(bins_per_sample(params));
    auto chrom = resolve_chrom(sample.chrom_table, region.chrom);
    if (!chrom) return std::vector<float>(width, kNaN);

    std::vector<float> bases;
    std::vector<std::pair<std::size_t, std::vector<Block>>> zones;  // offset, intervals
    std::vector<std::int64_t> bins;
    for (const Zone& zone : layout.zones) {
        auto [intervals, n] = clip(zone, chrom->second, params.binSize);
        zones.emplace_back(bases.size(), intervals);
        bins.push_back(n);
        for (const Block& b : intervals) {
            std::vector<float> values(static_cast<std::size_t>(b.end - b.start));
            interval_values(reader, chrom->first, chrom->second, b.start, b.end, values);
            bases.insert(bases.end(), values.begin(), values.end());
        }
    }
    if (params.missingDataAsZero)
        for (float& v : bases)
            if (std::isnan(v)) v = 0.0f;

    std::vector<float> row(static_cast<std::size_t>(std::max<std::int64_t>(layout.left_nan_bins, 0)), kNaN);
    for (std::size_t z = 0; z < zones.size(); ++z) {
        const std::size_t o = zones[z].first;
        const std::size_t length = (z + 1 < zones.size() ? zones[z + 1].first : bases.size()) - o;
        const auto n = static_cast<std::uint64_t>(bins[z]);
        const double step = static_cast<double>(length) / static_cast<double>(n);
        for (std::uint64_t i = 0; i < n; ++i) {
            const auto a = static_cast<std::size_t>(step * static_cast<double>(i) + static_cast<double>(o));
            const std::size_t edge = i + 1 == n ? o + length
                                                : static_cast<std::size_t>(step * static_cast<double>(i + 1) +
                                                                           static_cast<double>(o));
            const std::size_t b = std::min(std::max(edge, a + 1), bases.size());
            row.push_back(a >= bases.size() ? kNaN
                                            : reference_statistic({bases.data() + a, b - a}, params.averageTypeBins));
        }
    }
    row.insert(row.end(), static_cast<std::size_t>(std::max<std::int64_t>(layout.right_nan_bins, 0)), kNaN);
    row.resize(width, kNaN);
    if (region.strand == U'-') std::reverse(row.begin(), row.end());
    return row;
}

}  // namespace binscope::testing
