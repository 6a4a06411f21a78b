// bigwig_query_bench.cpp - interval queries on a genome-scale score file:
// 50,000 sorted 2 kb windows through one reader, as a worker thread asks
// them, reporting queries per second and blocks decompressed per query.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "bigwig_reader.hpp"
#include "support/bigwig_writer.hpp"
#include "support/test_files.hpp"
#include "synthetic_coverage.hpp"

using namespace binscope;
using binscope::bench::coverage;
using binscope::bench::kGenome;
using namespace binscope::testing;

namespace {

struct Window {
    std::size_t chrom;
    std::int64_t start;
};

}  // namespace

int main() {
    std::mt19937 rng(42);
    TempDir dir;
    const std::string path = dir.file("genome.bw");
    auto t0 = std::chrono::steady_clock::now();
    write_bigwig(path, kGenome, coverage(rng));
    auto t1 = std::chrono::steady_clock::now();

    auto table = open_chrom_table(path);
    if (!table) return 1;
    auto reader = BigWigReader::open(path);
    if (!reader) return 1;

    // 50,000 windows of 2 kb at random places, sorted as regions would be.
    std::uint64_t genome = 0;
    for (const auto& c : kGenome) genome += c.length;
    std::vector<Window> windows;
    std::uniform_int_distribution<std::uint64_t> where(0, genome - 1);
    for (int i = 0; i < 50000; ++i) {
        std::uint64_t g = where(rng);
        std::size_t c = 0;
        while (g >= kGenome[c].length) g -= kGenome[c++].length;
        windows.push_back({c, static_cast<std::int64_t>(g) - 1000});
    }
    std::sort(windows.begin(), windows.end(), [](const Window& a, const Window& b) {
        return std::pair(a.chrom, a.start) < std::pair(b.chrom, b.start);
    });

    std::vector<float> out(2000);
    double checksum = 0;
    std::size_t covered = 0;
    auto t2 = std::chrono::steady_clock::now();
    for (const Window& w : windows) {
        const auto& chrom = kGenome[w.chrom];
        interval_values(*reader, chrom.name, chrom.length, w.start, w.start + 2000, out);
        // A light look at the result, so the timing stays the reader's.
        for (std::size_t i = 0; i < out.size(); i += 100)
            if (!std::isnan(out[i])) checksum += out[i], ++covered;
    }
    auto t3 = std::chrono::steady_clock::now();

    const ReaderStats& s = reader->stats();
    double seconds = std::chrono::duration<double>(t3 - t2).count();
    double n = static_cast<double>(windows.size());
    std::printf("file: %.1f MB, %zu chromosomes, uncompressBufSize %u, written in %.1f s\n",
                static_cast<double>(std::filesystem::file_size(path)) / 1e6, kGenome.size(),
                reader->header().uncompress_buf_size, std::chrono::duration<double>(t1 - t0).count());
    std::printf("queries: %zu sorted 2 kb windows in %.3f s\n", windows.size(), seconds);
    std::printf("queries per second: %.0f\n", n / seconds);
    std::printf("blocks inflated per query: %.4f (%llu blocks, %llu cache hits)\n",
                static_cast<double>(s.blocks_inflated) / n, static_cast<unsigned long long>(s.blocks_inflated),
                static_cast<unsigned long long>(s.block_cache_hits));
    std::printf("index header reads: %llu, R-tree node reads: %llu\n",
                static_cast<unsigned long long>(s.index_header_reads), static_cast<unsigned long long>(s.node_reads));
    std::printf("(checksum %.1f over %zu sampled covered bases)\n", checksum, covered);
    return 0;
}
