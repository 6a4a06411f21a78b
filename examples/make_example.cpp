// make_example.cpp - writes the repository's small example into the folder
// given (by default examples/): example.bw, chr1 (60 kb) and chr2 (40 kb)
// of piecewise-constant coverage (a low background, raised over gene
// bodies, a peak around every transcription start, no data in
// chr2:16000-20000), and genes.bed, twelve genes in BED6 on both
// chromosomes and both strands. The output is the same on every run.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "support/bigwig_writer.hpp"
#include "support/test_files.hpp"

namespace binscope::testing {

namespace {

struct Gene {
    const char* chrom;
    std::uint32_t start, end;
    const char* name;
    char strand;
};

const Gene kGenes[] = {
    {"chr1", 2000, 6000, "geneA", '+'},   {"chr1", 8000, 9500, "geneB", '-'},
    {"chr1", 12000, 20000, "geneC", '+'}, {"chr1", 23000, 26000, "geneD", '-'},
    {"chr1", 30000, 31200, "geneE", '+'}, {"chr1", 36000, 44000, "geneF", '-'},
    {"chr1", 48000, 52000, "geneG", '+'}, {"chr1", 55000, 58500, "geneH", '-'},
    {"chr2", 1500, 5000, "geneI", '+'},   {"chr2", 9000, 15000, "geneJ", '-'},
    {"chr2", 22000, 24000, "geneK", '+'}, {"chr2", 33000, 39500, "geneL", '-'},
};

// A fixed 64-bit linear congruential sequence, the same on every platform.
struct Sequence {
    std::uint64_t state;
    std::uint32_t next(std::uint32_t bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>((state >> 33) % bound);
    }
};

// The signal at one base, in steps of 0.25 so every value is exact.
float signal(const std::string& chrom, std::uint32_t at, Sequence& noise) {
    double v = 0.25 * noise.next(8);  // background 0 to 1.75
    for (const Gene& g : kGenes) {
        if (chrom != g.chrom) continue;
        if (at >= g.start && at < g.end) v += 2;
        std::uint32_t tss = g.strand == '+' ? g.start : g.end;
        double d = std::abs(static_cast<double>(at) - tss);
        if (d < 600) v += 8 * (1 - d / 600);
    }
    return static_cast<float>(std::round(v * 4) / 4);
}

std::vector<BigWigChrom> example_chroms() { return {{"chr1", 60000}, {"chr2", 40000}}; }

std::vector<BigWigSection> example_sections() {
    std::vector<BigWigSection> sections;
    Sequence seq{2024};
    for (const BigWigChrom& c : example_chroms()) {
        std::vector<BedGraphItem> items;
        for (std::uint32_t at = 0; at < c.length;) {
            std::uint32_t end = std::min(c.length, at + 50 + seq.next(351));
            bool gap = c.name == "chr2" && end > 16000 && at < 20000;
            if (gap) {
                at = std::max(end, 20000u);
                continue;
            }
            items.push_back({at, end, signal(c.name, (at + end) / 2, seq)});
            at = end;
        }
        sections.push_back(bedgraph_section(c.name, std::move(items)));
    }
    return sections;
}

std::string example_genes_bed() {
    std::string bed;
    for (const Gene& g : kGenes)
        bed += std::string(g.chrom) + "\t" + std::to_string(g.start) + "\t" + std::to_string(g.end) + "\t" + g.name +
               "\t0\t" + g.strand + "\n";
    return bed;
}

void write_example_files(const std::filesystem::path& dir) {
    write_bigwig(dir / "example.bw", example_chroms(), example_sections(), {.items_per_block = 128});
    write_file(dir / "genes.bed", example_genes_bed());
}

}  // namespace
}  // namespace binscope::testing

int main(int argc, char** argv) {
    const char* dir = argc > 1 ? argv[1] : "examples";
    try {
        binscope::testing::write_example_files(dir);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_example: %s\n", e.what());
        return 1;
    }
    std::printf("wrote %s/example.bw and %s/genes.bed\n", dir, dir);
    return 0;
}
