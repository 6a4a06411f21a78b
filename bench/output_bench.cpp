// output_bench.cpp - builds a synthetic 60,000 x 800 matrix and measures
// the output stage through its entry points, on one thread: the gzipped
// matrix file, the plain-text matrix and the sort.
//
// Usage: output_bench [rows] [cols]
// Every file goes to /dev/null, so the figures are CPU cost, not disk speed.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include <fmt/format.h>

#include "matrix/sort.hpp"
#include "output/matrix.hpp"
#include "output/matrix_values.hpp"

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Values shaped like binned coverage: a share of empty bins (0), some
// missing (NaN), means of integer read counts over 10 bases (one decimal),
// and scaled signal with full 32-bit precision.
binscope::Matrix synthetic_matrix(std::size_t rows, std::size_t cols) {
    binscope::Matrix m;
    m.cols = cols;
    m.values.resize(rows * cols);
    m.region_set.groups = {"genes"};
    m.sample_labels = {"sample1", "sample2", "sample3", "sample4"};
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::lognormal_distribution<float> signal(0.5f, 1.2f);
    for (float& v : m.values) {
        const double u = unit(rng);
        if (u < 0.30) v = 0.0f;
        else if (u < 0.35) v = std::numeric_limits<float>::quiet_NaN();
        else if (u < 0.70) v = static_cast<float>(static_cast<int>(signal(rng) * 10.0f)) / 10.0f;
        else v = signal(rng) * 0.731f;
    }
    m.region_set.regions.resize(rows);
    m.row_regions.resize(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        m.row_regions[r] = r;
        binscope::Region& region = m.region_set.regions[r];
        region.chrom = fmt::format("chr{}", 1 + r % 22);
        const auto start = static_cast<std::int64_t>(r * 5000 + 11873);
        region.blocks = {{start, start + 1200}, {start + 1800, start + 2400}, {start + 3000, start + 4100}};
        region.name = fmt::format("ENST{}", 100000 + r);
        region.score = "0";
        region.strand = r % 2 ? U'-' : U'+';
    }
    m.group_boundaries = {0, rows};
    return m;
}

void report(const char* what, double secs, std::size_t values) {
    std::printf("%-34s %8.3f s  %8.1f M values/s\n", what, secs, static_cast<double>(values) / 1e6 / secs);
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t rows = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 60000;
    const std::size_t cols = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 800;
    std::printf("matrix %zu x %zu\n", rows, cols);
    const binscope::Matrix m = synthetic_matrix(rows, cols);

    binscope::Params params;
    params.scoreFileName = {"1.bw", "2.bw", "3.bw", "4.bw"};
    params.beforeRegionStartLength = 1000;
    params.afterRegionStartLength = 1000;
    params.binSize = 10;
    params.referencePoint = binscope::RefPoint::TSS;

    auto t0 = Clock::now();
    if (!binscope::write_matrix_file("/dev/null", m, m.sample_labels, params)) return 1;
    report("write_matrix_file", seconds_since(t0), rows * cols);

    t0 = Clock::now();
    if (!binscope::write_matrix_values("/dev/null", m, binscope::bins_per_sample(params))) return 1;
    report("write_matrix_values", seconds_since(t0), rows * cols);

    t0 = Clock::now();
    const binscope::Matrix sorted =
        binscope::sort_rows(m, binscope::SortRegions::Descend, binscope::SortUsing::Median);
    std::printf("%-34s %8.3f s  (%zu rows)\n", "sort_rows (descend, median)", seconds_since(t0), sorted.rows());
    return 0;
}
