// build_matrix_bench.cpp - the matrix computation on a genome-wide run:
// 60,000 regions x 4 score files on human-sized chromosomes, with 1 and 2
// worker threads (reference-point and scale-regions), reporting seconds,
// the speed-up and the allocations per region. With a folder argument the
// generated score files and regions.bed are kept there for runs of the
// executable.
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "matrix/compute.hpp"
#include "support/bigwig_writer.hpp"
#include "support/test_files.hpp"
#include "synthetic_coverage.hpp"

using namespace binscope;
using binscope::bench::coverage;
using binscope::bench::kGenome;
using namespace binscope::testing;

// Every allocation of the process is counted, to report allocations per
// region of the computation. GCC takes the malloc/free pair behind the
// replaced operators for a mismatch once they are inlined.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
static std::atomic<std::uint64_t> g_allocations{0};

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

// 60,000 gene-like regions (1 to 60 kb), sorted, spread over the genome.
RegionSet regions(std::mt19937& rng) {
    std::uint64_t genome = 0;
    for (const auto& c : kGenome) genome += c.length;
    RegionSet set;
    set.groups = {"genes"};
    std::uniform_int_distribution<std::int64_t> length(1000, 60000);
    const std::uint64_t spacing = genome / 60000;
    std::uint64_t at = 0;
    std::size_t chrom = 0, chrom_start = 0;
    for (int i = 0; i < 60000; ++i, at += spacing) {
        while (at - chrom_start >= kGenome[chrom].length) chrom_start += kGenome[chrom++].length;
        Region r;
        r.chrom = kGenome[chrom].name;
        const auto start = static_cast<std::int64_t>(at - chrom_start);
        r.blocks = {{start, start + length(rng)}};
        r.name = fmt::format("g{}", i);
        r.score = "0";
        r.strand = rng() % 2 ? U'+' : U'-';
        set.regions.push_back(std::move(r));
    }
    return set;
}

double seconds_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

// User plus system CPU seconds of the whole process so far.
double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long peak_rss_mib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

}  // namespace

int main(int argc, char** argv) {
    std::mt19937 rng(42);
    TempDir temp;
    const std::filesystem::path dir = argc > 1 ? std::filesystem::path(argv[1]) : temp.path();
    std::filesystem::create_directories(dir);

    auto t0 = std::chrono::steady_clock::now();
    std::vector<Sample> samples;
    std::vector<std::string> paths;
    for (int f = 0; f < 4; ++f) {
        const std::string path = (dir / ("sample" + std::to_string(f) + ".bw")).string();
        write_bigwig(path, kGenome, coverage(rng));
        auto table = open_chrom_table(path);
        if (!table) return 1;
        samples.push_back(Sample{path, "sample" + std::to_string(f), *table});
        paths.push_back(path);
    }
    const RegionSet set = regions(rng);
    {
        std::ofstream bed(dir / "regions.bed");
        for (const Region& r : set.regions)
            bed << r.chrom << '\t' << r.start() << '\t' << r.end() << '\t' << r.name << "\t0\t"
                << (r.strand == U'-' ? '-' : '+') << '\n';
    }
    std::printf("wrote 4 score files and %zu regions in %.1f s (peak RSS %ld MiB)\n", set.regions.size(),
                seconds_since(t0), peak_rss_mib());

    struct Form {
        const char* name;
        Params params;
    };
    Params reference;
    reference.referencePoint = RefPoint::TSS;
    Params scaled;
    scaled.regionBodyLength = 1000;
    for (Form form : {Form{"reference-point TSS", reference}, Form{"scale-regions", scaled}}) {
        double times[2] = {0, 0};
        std::vector<float> first;
        for (std::size_t threads : {1u, 2u}) {
            form.params.numberOfProcessors = threads;
            RegionSet copy = set;  // the matrix keeps the set it is given
            const std::uint64_t allocations = g_allocations.load();
            const double cpu = cpu_seconds();
            const auto t = std::chrono::steady_clock::now();
            auto m = build_matrix(std::move(copy), samples, paths, form.params);
            times[threads - 1] = seconds_since(t);
            if (!m) return 1;
            std::printf("%-20s -p %zu: %6.2f s (%.2f s CPU), %zu x %zu matrix (%.0f MiB), %.1f allocations per region\n",
                        form.name, threads, times[threads - 1], cpu_seconds() - cpu, m->rows(), m->cols,
                        m->values.size() * 4.0 / (1 << 20),
                        static_cast<double>(g_allocations.load() - allocations) / set.regions.size());
            if (threads == 1)
                first.assign(m->values.begin(), m->values.end());
            else if (first.size() != m->values.size() ||
                     std::memcmp(first.data(), m->values.data(), first.size() * sizeof(float)) != 0)
                std::printf("  MISMATCH between thread counts\n");
        }
        // The part of build_matrix that runs on the calling thread alone:
        // the zeroed slot array.
        const auto t = std::chrono::steady_clock::now();
        {
            std::vector<float> slots(first.size());
        }
        const double serial = seconds_since(t);
        std::printf("%-20s speed-up -p 2 over -p 1: %.2fx (calling-thread part %.2f s: at most %.2fx on 2 idle cores)\n",
                    form.name, times[0] / times[1], serial, times[0] / (serial + (times[0] - serial) / 2));
    }
    return 0;
}
