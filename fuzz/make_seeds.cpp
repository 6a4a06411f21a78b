// make_seeds.cpp - writes the score-file seeds of the bigWig fuzzer with the
// tests' writer: both byte orders, stored and compressed blocks, every
// section type, multi-level trees and a few damaged structures. Usage:
// fuzz_make_seeds [folder, default fuzz/corpus/bigwig].
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/bigwig_writer.hpp"

namespace {

using namespace binscope::testing;

// Query steering: start 5, span 40 (see bigwig_fuzzer.cpp).
const std::string kSteer("\x05\x00\x00\x00\x28\x00\x00\x00", 8);

void save(const std::filesystem::path& dir, const std::string& name, const std::string& bytes) {
    std::ofstream out(dir / name, std::ios::binary | std::ios::trunc);
    out << kSteer << bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir = argc > 1 ? argv[1] : "fuzz/corpus/bigwig";
    try {
        std::filesystem::create_directories(dir);
        const std::vector<BigWigChrom> chroms{{"chr1", 200}, {"2", 120}, {"chrM", 60}};
        const std::vector<BigWigSection> all_types{
            bedgraph_section("chr1", {{0, 10, 1.5f}, {12, 30, -2.0f}, {25, 40, 0.0f}}),
            variablestep_section("2", 5, {{3, 1.0f}, {20, 2.0f}, {21, 3.0f}}),
            fixedstep_section("chrM", 10, 7, 3, {4.0f, 5.0f, 6.0f, 7.0f}),
        };
        BigWigOptions deep;
        deep.items_per_block = 1;
        deep.chrom_tree_fanout = 2;
        deep.rtree_fanout = 2;

        BigWigOptions o;
        save(dir, "little_compressed.bw", bigwig_bytes(chroms, all_types, o));
        o.big_endian = true;
        o.compress = false;
        o.zoom_levels = 2;
        save(dir, "big_stored_zooms.bw", bigwig_bytes(chroms, all_types, o));

        BigWigOptions d = deep;
        d.compress = false;
        save(dir, "little_stored_deep_trees.bw", bigwig_bytes(chroms, all_types, d));
        d.big_endian = true;
        d.compress = true;
        save(dir, "big_compressed_deep_trees.bw", bigwig_bytes(chroms, all_types, d));

        BigWigOptions bed;
        bed.bigbed_magic = true;
        bed.compress = false;
        save(dir, "bigbed_magic.bb", bigwig_bytes({{"chr1", 100}}, {}, bed));
        save(dir, "empty_tree.bw", bigwig_bytes({}, {}, BigWigOptions{}));

        BigWigOptions cycle = deep;
        cycle.compress = false;
        cycle.breakage = BigWigBreak::RTreeCycle;
        save(dir, "rtree_cycle.bw", bigwig_bytes(chroms, all_types, cycle));
        cycle.breakage = BigWigBreak::ChromTreeCycle;
        save(dir, "chrom_tree_cycle.bw", bigwig_bytes(chroms, all_types, cycle));
        BigWigOptions twice;
        twice.compress = false;
        twice.items_per_block = 1;
        twice.breakage = BigWigBreak::BlockListedTwice;
        save(dir, "block_listed_twice.bw", bigwig_bytes(chroms, all_types, twice));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz_make_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}
