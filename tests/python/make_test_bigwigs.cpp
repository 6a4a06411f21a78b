// make_test_bigwigs.cpp - writes the score files of the Python tests into
// a folder: make_test_bigwigs FOLDER.
//   a.bw    chr1 (60 kb) and chr2 (40 kb): random records of every section
//           type, with gaps, zeros, negative values and a few NaN.
//   b.bw    the same layout under the names "1" and "2", other records.
//   big.bw  chr1 of 20 Mb, a record every 10 bases: long runs to interrupt.
#include <cstdio>
#include <filesystem>
#include <random>

#include "support/bigwig_writer.hpp"

using namespace binscope::testing;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_test_bigwigs FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    std::mt19937 rng(20240611);
    write_bigwig(folder / "a.bw", {{"chr1", 60000}, {"chr2", 40000}},
                 {random_section("chr1", 60000, false, rng), random_section("chr2", 40000, false, rng)});
    write_bigwig(folder / "b.bw", {{"1", 60000}, {"2", 40000}},
                 {random_section("1", 60000, false, rng), random_section("2", 40000, false, rng)});
    std::vector<BedGraphItem> items;
    constexpr std::uint32_t kBig = 20'000'000;
    items.reserve(kBig / 10);
    for (std::uint32_t start = 0; start < kBig; start += 10)
        items.push_back({start, start + 10, static_cast<float>(start % 997)});
    write_bigwig(folder / "big.bw", {{"chr1", kBig}}, {bedgraph_section("chr1", std::move(items))});
    return 0;
}
