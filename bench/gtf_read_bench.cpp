// gtf_read_bench.cpp - generates a whole-genome-like GTF annotation and
// measures how fast read_regions turns it into regions.
//
// Usage: gtf_read_bench [folder] [megabytes]
//   folder     where the generated file goes (default: the system temp folder)
//   megabytes  approximate file size (default 300; 1500 gives a file the size
//              of a full human annotation)
// The file is generated with a fixed seed and removed at the end.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "bed_reader.hpp"

namespace {

using binscope::RegionSet;

// Writes genes with several transcripts each, every transcript with its
// exons, CDS, UTR and codon lines, in the column 9 style of large public
// human annotations. Returns the bytes written.
std::size_t generate(const std::string& path, std::size_t target_bytes, std::size_t& lines) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) {
        std::perror(path.c_str());
        std::exit(1);
    }
    std::mt19937_64 rng(20240601);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char* types[] = {"protein_coding", "lncRNA", "processed_pseudogene", "misc_RNA"};
    std::size_t written = 0;
    std::fputs("##description: generated annotation for the reading benchmark\n", out);
    std::fputs("##format: gtf\n", out);

    int chrom = 1;
    long position = 10000;
    long gene = 0;
    long transcript = 0;
    long exon_serial = 0;
    auto line = [&](std::string& to, const char* feature, long start, long end, char strand,
                    const std::string& attributes) {
        char head[160];
        const int n = std::snprintf(head, sizeof head, "chr%d\tHAVANA\t%s\t%ld\t%ld\t.\t%c\t.\t", chrom, feature, start,
                                    end, strand);
        to.append(head, static_cast<std::size_t>(n));
        to += attributes;
        to += '\n';
        ++lines;
    };
    std::string gene_lines;
    while (written < target_bytes) {
        ++gene;
        const char strand = uniform(0, 1) ? '+' : '-';
        const char* type = types[uniform(0, 3)];
        const bool coding = type == types[0];
        char gene_id[64];
        std::snprintf(gene_id, sizeof gene_id, "ENSG%011ld.%d", gene, uniform(1, 20));
        const std::string gene_name = "GENE" + std::to_string(gene);
        const std::string hgnc = "; hgnc_id \"HGNC:" + std::to_string(gene % 50000) + "\"";
        const std::string havana_gene = "; havana_gene \"OTTHUMG" + std::to_string(100000000 + gene) + ".2\"";
        const long gene_start = position;
        long gene_end = gene_start;
        gene_lines.clear();
        for (int t = uniform(1, 8); t > 0; --t) {
            ++transcript;
            char transcript_id[64];
            std::snprintf(transcript_id, sizeof transcript_id, "ENST%011ld.%d", transcript, uniform(1, 9));
            const std::string attrs = std::string("gene_id \"") + gene_id + "\"; transcript_id \"" + transcript_id +
                                      "\"; gene_type \"" + type + "\"; gene_name \"" + gene_name +
                                      "\"; transcript_type \"" + type + "\"; transcript_name \"" + gene_name + "-" +
                                      std::to_string(200 + t) + "\"; level 2; transcript_support_level \"1\"";
            const std::string tail = hgnc + "; tag \"basic\"; tag \"Ensembl_canonical\"" + havana_gene +
                                     "; havana_transcript \"OTTHUMT" + std::to_string(100000000 + transcript) +
                                     ".1\";";
            long cursor = gene_start + uniform(0, 2000);
            const long t_start = cursor;
            std::string exon_lines;
            for (int e = 0, exons = uniform(1, 12); e < exons; ++e) {
                const long e_start = cursor;
                const long e_end = cursor + uniform(50, 600);
                const std::string e_attrs = attrs + "; exon_number " + std::to_string(e + 1) + "; exon_id \"ENSE" +
                                            std::to_string(10000000000 + ++exon_serial) + ".1\"" + tail;
                line(exon_lines, "exon", e_start, e_end, strand, e_attrs);
                if (coding) {
                    line(exon_lines, "CDS", e_start + 10, e_end, strand, e_attrs);
                    if (e == 0) {
                        line(exon_lines, "UTR", e_start, e_start + 9, strand, e_attrs);
                        line(exon_lines, "start_codon", e_start + 10, e_start + 12, strand, e_attrs);
                    }
                }
                cursor = e_end + uniform(100, 5000);
            }
            line(gene_lines, "transcript", t_start, cursor, strand, attrs + tail);
            gene_lines += exon_lines;
            gene_end = std::max(gene_end, cursor);
        }
        std::string head;
        line(head, "gene", gene_start, gene_end, strand,
             std::string("gene_id \"") + gene_id + "\"; gene_type \"" + type + "\"; gene_name \"" + gene_name +
                 "\"; level 2" + hgnc + havana_gene + ";");
        written += std::fwrite(head.data(), 1, head.size(), out);
        written += std::fwrite(gene_lines.data(), 1, gene_lines.size(), out);
        position = gene_end + uniform(1000, 50000);
        if (position > 200000000) {
            chrom = chrom % 22 + 1;
            position = 10000;
        }
    }
    if (std::fclose(out) != 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    return written;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    const std::size_t megabytes = argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 300;
    const std::string path = (folder / ("gtf_read_bench_" + std::to_string(getpid()) + ".gtf")).string();

    std::printf("generating %zu MB in %s ...\n", megabytes, path.c_str());
    std::fflush(stdout);
    std::size_t lines = 0;
    const std::size_t bytes = generate(path, megabytes * 1000000, lines);
    std::printf("%zu lines, %zu bytes per line on average\n", lines, bytes / std::max<std::size_t>(lines, 1));

    double best = 0;
    std::size_t regions = 0;
    for (int round = 0; round < 3; ++round) {
        const auto start = std::chrono::steady_clock::now();
        auto set = binscope::read_regions({path}, false);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!set) {
            std::fprintf(stderr, "read failed: %s\n", set.error().message().c_str());
            std::filesystem::remove(path);
            return 1;
        }
        regions = set->regions.size();
        const double rate = static_cast<double>(bytes) / 1e6 / seconds;
        best = std::max(best, rate);
        std::printf("round %d: %.1f MB in %.3f s = %.0f MB/s, %zu regions\n", round + 1,
                    static_cast<double>(bytes) / 1e6, seconds, rate, regions);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("best %.0f MB/s; %zu regions; peak resident %ld MB\n", best, regions, usage.ru_maxrss / 1024);
    std::filesystem::remove(path);
    return 0;
}
