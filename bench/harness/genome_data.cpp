// genome_data.cpp - generation of the genome benchmark's data set.
#include "harness/genome_data.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace binscope::bench {

namespace {

// Bumped whenever the generated content changes, so old folders are redone.
constexpr int kFormatVersion = 1;
constexpr std::size_t kGenes = 60000;
constexpr std::size_t kPeaks = 100000;
constexpr std::size_t kBlacklist = 900;

using Rng = std::mt19937_64;

std::uint64_t uniform(Rng& rng, std::uint64_t lo, std::uint64_t hi) {
    return std::uniform_int_distribution<std::uint64_t>(lo, hi)(rng);
}

// A chromosome drawn with probability proportional to its length (chrM never).
class ChromPicker {
public:
    ChromPicker() {
        for (const ChromSize& c : human_chroms())
            cumulative_.push_back((cumulative_.empty() ? 0 : cumulative_.back()) + (c.name == "chrM" ? 0 : c.length));
    }
    std::size_t operator()(Rng& rng) const {
        const std::uint64_t at = uniform(rng, 0, cumulative_.back() - 1);
        return static_cast<std::size_t>(std::upper_bound(cumulative_.begin(), cumulative_.end(), at) -
                                        cumulative_.begin());
    }

private:
    std::vector<std::uint64_t> cumulative_;
};

struct Interval {
    std::size_t chrom = 0;
    std::int64_t start = 0, end = 0;
};

struct Gene {
    Interval span;
    char strand = '+';
    std::vector<std::pair<std::int64_t, std::int64_t>> exons;  // genomic, sorted
};

// Sorted intervals of drawn lengths, placed uniformly on drawn chromosomes.
template <class Length>
std::vector<Interval> place(Rng& rng, std::size_t count, Length&& length) {
    const ChromPicker pick;
    const auto& chroms = human_chroms();
    std::vector<Interval> out(count);
    for (Interval& iv : out) {
        iv.chrom = pick(rng);
        const std::int64_t chrom_length = chroms[iv.chrom].length;
        const std::int64_t len = std::min<std::int64_t>(length(rng), chrom_length / 4);
        iv.start = static_cast<std::int64_t>(uniform(rng, 10000, static_cast<std::uint64_t>(chrom_length - len - 10000)));
        iv.end = iv.start + len;
    }
    std::sort(out.begin(), out.end(),
              [](const Interval& a, const Interval& b) { return std::tie(a.chrom, a.start) < std::tie(b.chrom, b.start); });
    return out;
}

std::vector<Gene> make_genes(Rng& rng) {
    std::lognormal_distribution<double> gene_length(std::log(20000.0), 1.1);
    const auto spans = place(rng, kGenes, [&](Rng& r) {
        return std::clamp<std::int64_t>(static_cast<std::int64_t>(gene_length(r)), 600, 1500000);
    });
    std::vector<Gene> genes(spans.size());
    for (std::size_t g = 0; g < spans.size(); ++g) {
        Gene& gene = genes[g];
        gene.span = spans[g];
        gene.strand = uniform(rng, 0, 1) ? '+' : '-';
        // 2 to 20 exons, one per equal slot of the gene; the first starts at
        // the gene start and the last ends at the gene end.
        const std::int64_t len = gene.span.end - gene.span.start;
        const std::int64_t exons = std::min<std::int64_t>(static_cast<std::int64_t>(uniform(rng, 2, 20)), len / 120);
        const std::int64_t slot = len / exons;
        for (std::int64_t e = 0; e < exons; ++e) {
            const std::int64_t exon_len =
                std::min<std::int64_t>(static_cast<std::int64_t>(uniform(rng, 50, 600)), slot / 2);
            std::int64_t s = gene.span.start + e * slot +
                             (e == 0 ? 0 : static_cast<std::int64_t>(uniform(rng, 0, static_cast<std::uint64_t>(slot - exon_len))));
            if (e + 1 == exons) s = gene.span.end - exon_len;
            gene.exons.emplace_back(s, s + exon_len);
        }
    }
    return genes;
}

std::FILE* create(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) throw std::runtime_error("cannot create " + path);
    std::setvbuf(f, nullptr, _IOFBF, 1 << 20);
    return f;
}

void close(std::FILE* f, const std::string& path) {
    if (std::ferror(f) != 0 || std::fclose(f) != 0) throw std::runtime_error("cannot write " + path);
}

void write_genes(const std::vector<Gene>& genes, const std::string& bed6, const std::string& bed12) {
    const auto& chroms = human_chroms();
    std::FILE* six = create(bed6);
    std::FILE* twelve = create(bed12);
    std::string sizes, starts;
    for (std::size_t g = 0; g < genes.size(); ++g) {
        const Gene& gene = genes[g];
        const char* chrom = chroms[gene.span.chrom].name.c_str();
        std::fprintf(six, "%s\t%lld\t%lld\tGENE%05zu\t0\t%c\n", chrom, static_cast<long long>(gene.span.start),
                     static_cast<long long>(gene.span.end), g + 1, gene.strand);
        sizes.clear();
        starts.clear();
        for (const auto& [s, e] : gene.exons) {
            sizes += std::to_string(e - s) + ',';
            starts += std::to_string(s - gene.span.start) + ',';
        }
        std::fprintf(twelve, "%s\t%lld\t%lld\tGENE%05zu\t0\t%c\t%lld\t%lld\t0\t%zu\t%s\t%s\n", chrom,
                     static_cast<long long>(gene.span.start), static_cast<long long>(gene.span.end), g + 1, gene.strand,
                     static_cast<long long>(gene.span.start), static_cast<long long>(gene.span.end), gene.exons.size(),
                     sizes.c_str(), starts.c_str());
    }
    close(six, bed6);
    close(twelve, bed12);
}

// One to six transcripts per gene (about 200,000 in all), each a subset of
// the gene's exons, with the gene, transcript, exon, CDS, UTR and codon
// lines and the long column 9 of large public human annotations.
void write_gtf(const std::vector<Gene>& genes, Rng& rng, const std::string& path) {
    const auto& chroms = human_chroms();
    static const char* const kTypes[] = {"protein_coding", "lncRNA", "protein_coding", "processed_transcript"};
    std::FILE* f = create(path);
    std::fputs("##description: synthetic annotation of the genome benchmark\n##provider: binscope\n##format: gtf\n", f);
    std::string out;
    char buf[512];
    std::size_t transcript_serial = 0, exon_serial = 0;
    for (std::size_t g = 0; g < genes.size(); ++g) {
        const Gene& gene = genes[g];
        const char* chrom = chroms[gene.span.chrom].name.c_str();
        const char* type = kTypes[uniform(rng, 0, 3)];
        const bool coding = type[0] == 'p' && type[1] == 'r' && type[2] == 'o' && type[9] == 'c';
        out.clear();
        auto line = [&](const char* feature, std::int64_t start, std::int64_t end, const std::string& attributes) {
            const int n = std::snprintf(buf, sizeof buf, "%s\tHAVANA\t%s\t%lld\t%lld\t.\t%c\t.\t", chrom, feature,
                                        static_cast<long long>(start + 1), static_cast<long long>(end), gene.strand);
            out.append(buf, static_cast<std::size_t>(n));
            out += attributes;
            out += '\n';
        };
        std::snprintf(buf, sizeof buf, "gene_id \"ENSG%011zu.%d\"; gene_type \"%s\"; gene_name \"GENE%05zu\"", g + 1,
                      static_cast<int>(uniform(rng, 1, 19)), type, g + 1);
        const std::string gene_attrs = buf;
        std::snprintf(buf, sizeof buf, "; level 2; hgnc_id \"HGNC:%zu\"; havana_gene \"OTTHUMG%011zu.2\";",
                      (g * 7) % 52000 + 1, g + 1);
        const std::string gene_tail = buf;
        line("gene", gene.span.start, gene.span.end, gene_attrs + gene_tail);

        const std::uint64_t transcripts = uniform(rng, 1, 6);
        for (std::uint64_t t = 0; t < transcripts; ++t) {
            ++transcript_serial;
            std::vector<std::pair<std::int64_t, std::int64_t>> exons;
            for (std::size_t e = 0; e < gene.exons.size(); ++e)
                if (t == 0 || e == 0 || e + 1 == gene.exons.size() || uniform(rng, 0, 4) != 0)
                    exons.push_back(gene.exons[e]);
            std::snprintf(buf, sizeof buf,
                          "; transcript_id \"ENST%011zu.%d\"; transcript_type \"%s\"; transcript_name \"GENE%05zu-%d\"",
                          transcript_serial, static_cast<int>(uniform(rng, 1, 9)), type, g + 1,
                          static_cast<int>(201 + t));
            const std::string attrs = gene_attrs + buf;
            std::snprintf(buf, sizeof buf,
                          "; level 2; transcript_support_level \"%d\"; hgnc_id \"HGNC:%zu\"; tag \"basic\"%s; "
                          "havana_gene \"OTTHUMG%011zu.2\"; havana_transcript \"OTTHUMT%011zu.1\";",
                          static_cast<int>(uniform(rng, 1, 5)), (g * 7) % 52000 + 1,
                          t == 0 ? "; tag \"Ensembl_canonical\"" : "", g + 1, transcript_serial);
            const std::string tail = buf;
            line("transcript", exons.front().first, exons.back().second, attrs + tail);
            for (std::size_t e = 0; e < exons.size(); ++e) {
                // Exons listed 5' to 3', as annotations list them.
                const std::size_t k = gene.strand == '+' ? e : exons.size() - 1 - e;
                const auto [s, end] = exons[k];
                std::snprintf(buf, sizeof buf, "; exon_number %zu; exon_id \"ENSE%011zu.1\"", e + 1, ++exon_serial);
                const std::string exon_attrs = attrs + buf + tail;
                line("exon", s, end, exon_attrs);
                if (!coding) continue;
                if (e == 0) {
                    line("UTR", s, s + (end - s) / 4, exon_attrs);
                    line("start_codon", s + (end - s) / 4, s + (end - s) / 4 + 3, exon_attrs);
                }
                line("CDS", s + (e == 0 ? (end - s) / 4 : 0), end, exon_attrs);
                if (e + 1 == exons.size()) line("stop_codon", end - 3, end, exon_attrs);
            }
        }
        std::fwrite(out.data(), 1, out.size(), f);
    }
    close(f, path);
}

void write_peaks(Rng& rng, const std::string& path) {
    const auto& chroms = human_chroms();
    const auto peaks = place(rng, kPeaks, [](Rng& r) { return static_cast<std::int64_t>(uniform(r, 150, 2000)); });
    std::FILE* f = create(path);
    for (std::size_t i = 0; i < peaks.size(); ++i)
        std::fprintf(f, "%s\t%lld\t%lld\tpeak_%06zu\t%d\t.\n", chroms[peaks[i].chrom].name.c_str(),
                     static_cast<long long>(peaks[i].start), static_cast<long long>(peaks[i].end), i + 1,
                     static_cast<int>(uniform(rng, 20, 1000)));
    close(f, path);
}

void write_blacklist(Rng& rng, const std::string& path) {
    const auto& chroms = human_chroms();
    std::lognormal_distribution<double> width(std::log(5000.0), 1.2);
    const auto spans = place(rng, kBlacklist, [&](Rng& r) {
        return std::clamp<std::int64_t>(static_cast<std::int64_t>(width(r)), 100, 500000);
    });
    std::FILE* f = create(path);
    for (const Interval& iv : spans)
        std::fprintf(f, "%s\t%lld\t%lld\n", chroms[iv.chrom].name.c_str(), static_cast<long long>(iv.start),
                     static_cast<long long>(iv.end));
    close(f, path);
}

// Piecewise-constant coverage of the whole genome: runs of 10 to 200 bp,
// one in twenty without data, values of normalised read counts (a count
// times the file's scale factor), three in ten of them smoothed by up to
// 10 %, skipping the first and last 10 kb of every chromosome as
// assemblies leave telomeres unknown.
void write_coverage(const std::string& path, std::uint64_t seed, float scale) {
    Rng rng(seed);
    const auto& chroms = human_chroms();
    BigWigStreamWriter writer(path, chroms);
    std::geometric_distribution<int> count(0.03);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (std::uint32_t c = 0; c < chroms.size(); ++c) {
        const std::uint32_t length = chroms[c].length;
        const std::uint32_t edge = length > 40000 ? 10000 : 0;
        for (std::uint32_t at = edge; at < length - edge;) {
            const auto end = static_cast<std::uint32_t>(std::min<std::uint64_t>(length - edge, at + uniform(rng, 10, 200)));
            if (uniform(rng, 0, 19) != 0) {
                float value = static_cast<float>(1 + count(rng)) * scale;
                if (unit(rng) < 0.3f) value *= 0.9f + 0.2f * unit(rng);
                writer.add(c, at, end, value);
            }
            at = end;
        }
    }
    writer.finish();
}

std::string stamp_text(std::uint64_t seed) {
    return "binscope genome benchmark data, format " + std::to_string(kFormatVersion) + ", seed " +
           std::to_string(seed) + "\n";
}

double seconds_since(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

const std::vector<ChromSize>& human_chroms() {
    static const std::vector<ChromSize> chroms = {
        {"chr1", 248956422}, {"chr2", 242193529}, {"chr3", 198295559}, {"chr4", 190214555}, {"chr5", 181538259},
        {"chr6", 170805979}, {"chr7", 159345973}, {"chr8", 145138636}, {"chr9", 138394717}, {"chr10", 133797422},
        {"chr11", 135086622}, {"chr12", 133275309}, {"chr13", 114364328}, {"chr14", 107043718},
        {"chr15", 101991189}, {"chr16", 90338345}, {"chr17", 83257441}, {"chr18", 80373285}, {"chr19", 58617616},
        {"chr20", 64444167}, {"chr21", 46709983}, {"chr22", 50818468}, {"chrX", 156040895}, {"chrY", 57227415},
        {"chrM", 16569}};
    return chroms;
}

DatasetFiles dataset_files(const std::filesystem::path& folder) {
    DatasetFiles f;
    f.folder = folder;
    for (int i = 1; i <= 4; ++i) f.bigwigs.push_back((folder / ("sample" + std::to_string(i) + ".bw")).string());
    f.genes_bed = (folder / "genes.bed").string();
    f.genes_bed12 = (folder / "genes12.bed").string();
    f.transcripts_gtf = (folder / "transcripts.gtf").string();
    f.peaks_bed = (folder / "peaks.bed").string();
    f.blacklist_bed = (folder / "blacklist.bed").string();
    return f;
}

void ensure_dataset(const DatasetFiles& files, std::uint64_t seed, unsigned threads) {
    const std::filesystem::path stamp = files.folder / "dataset.txt";
    {
        std::ifstream in(stamp);
        std::stringstream text;
        text << in.rdbuf();
        if (in && text.str() == stamp_text(seed)) {
            std::printf("data set in %s (seed %llu) already complete\n", files.folder.c_str(),
                        static_cast<unsigned long long>(seed));
            return;
        }
    }
    std::filesystem::create_directories(files.folder);
    std::filesystem::remove(stamp);
    const auto t0 = std::chrono::steady_clock::now();
    std::printf("generating the data set in %s (seed %llu) ...\n", files.folder.c_str(),
                static_cast<unsigned long long>(seed));
    std::fflush(stdout);

    // Score files on the worker threads, the text files on this one.
    const float scales[4] = {0.0371f, 0.0529f, 0.0443f, 0.0618f};
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    std::exception_ptr failure;
    std::atomic<bool> failed{false};
    for (unsigned t = 0; t < std::max(1u, threads); ++t)
        workers.emplace_back([&] {
            for (std::size_t i; (i = next.fetch_add(1)) < files.bigwigs.size();) {
                try {
                    write_coverage(files.bigwigs[i], seed * 1000003 + i, scales[i % 4]);
                } catch (...) {
                    if (!failed.exchange(true)) failure = std::current_exception();
                }
            }
        });
    Rng rng(seed);
    const std::vector<Gene> genes = make_genes(rng);
    write_genes(genes, files.genes_bed, files.genes_bed12);
    write_gtf(genes, rng, files.transcripts_gtf);
    write_peaks(rng, files.peaks_bed);
    write_blacklist(rng, files.blacklist_bed);
    for (auto& w : workers) w.join();
    if (failure) std::rethrow_exception(failure);

    std::ofstream(stamp) << stamp_text(seed);
    std::uintmax_t total = 0;
    for (const auto& entry : std::filesystem::directory_iterator(files.folder))
        if (entry.is_regular_file()) total += entry.file_size();
    std::printf("generated %.0f MB in %.0f s\n", static_cast<double>(total) / 1e6, seconds_since(t0));
}

}  // namespace binscope::bench
