// synthetic_coverage.hpp - a human-sized genome with piecewise-constant
// coverage, shared by the module benchmarks.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "support/bigwig_writer.hpp"

namespace binscope::bench {

// Human-sized chromosomes (about 3.1 Gbp in all).
inline const std::vector<testing::BigWigChrom> kGenome = {
    {"chr1", 248956422},  {"chr2", 242193529},  {"chr3", 198295559},  {"chr4", 190214555},  {"chr5", 181538259},
    {"chr6", 170805979},  {"chr7", 159345973},  {"chr8", 145138636},  {"chr9", 138394717},  {"chr10", 133797422},
    {"chr11", 135086622}, {"chr12", 133275309}, {"chr13", 114364328}, {"chr14", 107043718}, {"chr15", 101991189},
    {"chr16", 90338345},  {"chr17", 83257441},  {"chr18", 80373285},  {"chr19", 58617616},  {"chr20", 64444167},
    {"chr21", 46709983},  {"chr22", 50818468},  {"chrX", 156040895},  {"chrY", 57227415}};

// Piecewise-constant coverage: runs of 20 to 2000 bp with occasional gaps.
inline std::vector<testing::BigWigSection> coverage(std::mt19937& rng) {
    std::vector<testing::BigWigSection> sections;
    std::uniform_int_distribution<std::uint32_t> run(20, 2000), value(0, 400);
    for (const auto& chrom : kGenome) {
        std::vector<testing::BedGraphItem> items;
        for (std::uint32_t at = 0; at < chrom.length;) {
            const std::uint32_t end = std::min(chrom.length, at + run(rng));
            if (rng() % 8 != 0) items.push_back({at, end, static_cast<float>(value(rng)) / 4});
            at = end;
        }
        sections.push_back(testing::bedgraph_section(chrom.name, std::move(items)));
    }
    return sections;
}

}  // namespace binscope::bench
