// genome_bench.cpp - the genome-scale benchmark: generates a seeded,
// human-sized data set (once per folder), runs the five workloads through
// the real executable at each thread count, checks that every thread
// count writes the same matrix text, measures each workload's limit
// probes and prints one table with the targets.
//
// Usage: genome_bench [--data DIR] [--exe PATH] [--seed N] [--threads 1,2]
//                     [--only W1,W3] [--repeat N] [--no-probes] [--remove-data]
//   --data      folder of the data set (default: <temp>/binscope-genome-bench);
//               generated when it does not hold a complete set
//   --exe       the binscope executable (default: next to this program)
//   --repeat    runs per measurement and rounds of the probes, the fastest
//               kept (default 1)
//   --remove-data  delete the data folder at the end
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "harness/genome_data.hpp"
#include "harness/gzip_text.hpp"
#include "harness/limit_probes.hpp"
#include "harness/process_run.hpp"

using namespace binscope::bench;

namespace {

struct Workload {
    std::string name;
    std::string what;
    std::string subcommand;
    std::string regions;
    std::vector<std::string> scores;
    std::vector<std::string> options;
};

std::vector<Workload> workloads(const DatasetFiles& d) {
    const std::vector<std::string> one = {d.bigwigs[0]};
    return {
        {"W1", "reference-point TSS -b 500 -a 1500 --binSize 10, genes x 4", "reference-point", d.genes_bed,
         d.bigwigs, {"-b", "500", "-a", "1500", "--binSize", "10"}},
        {"W2", "scale-regions -b 2000 -a 2000 -m 5000 --binSize 50, genes x 4", "scale-regions", d.genes_bed,
         d.bigwigs, {"-b", "2000", "-a", "2000", "-m", "5000", "--binSize", "50"}},
        {"W3", "reference-point center -b 3000 -a 3000 --binSize 50, peaks x 4", "reference-point", d.peaks_bed,
         d.bigwigs, {"--referencePoint", "center", "-b", "3000", "-a", "3000", "--binSize", "50"}},
        {"W4", "scale-regions, GTF transcripts x 1", "scale-regions", d.transcripts_gtf, one, {}},
        {"W5", "scale-regions --metagene, BED12 genes x 4", "scale-regions", d.genes_bed12, d.bigwigs,
         {"--metagene"}},
    };
}

std::vector<std::string> command_line(const std::string& exe, const Workload& w, const std::string& out,
                                      unsigned threads) {
    std::vector<std::string> args = {exe, w.subcommand, "-R", w.regions, "-o", out, "-S"};
    args.insert(args.end(), w.scores.begin(), w.scores.end());
    args.insert(args.end(), w.options.begin(), w.options.end());
    args.push_back("-p");
    args.push_back(std::to_string(threads));
    return args;
}

struct Measurement {
    ProcessStats stats;
    std::uint64_t matrix_bytes = 0;        // rows x cols x 4
    std::uint64_t file_bytes = 0;          // the gzipped matrix file
    std::optional<double> region_seconds;  // from the start line to the regions line
    std::string check = "-";               // output compared with the first thread count
};

std::optional<double> line_time(const ProcessStats& s, const char* prefix) {
    for (const TimedLine& l : s.stderr_lines)
        if (l.text.find(prefix) != std::string::npos) return l.seconds;
    return std::nullopt;
}

Measurement measure(const std::vector<std::string>& args, int repeat) {
    Measurement best;
    for (int i = 0; i < std::max(1, repeat); ++i) {
        ProcessStats s = run_process_or_exit(args);
        if (i == 0 || s.wall_seconds < best.stats.wall_seconds) best.stats = std::move(s);
    }
    for (const TimedLine& l : best.stats.stderr_lines) {
        unsigned long long rows = 0, cols = 0;
        const auto at = l.text.find("Built matrix: ");
        if (at != std::string::npos && std::sscanf(l.text.c_str() + at, "Built matrix: %llu rows x %llu cols", &rows, &cols) == 2)
            best.matrix_bytes = rows * cols * 4;
    }
    const auto start = line_time(best.stats, "Loading ");
    const auto parsed = line_time(best.stats, "Parsed ");
    if (start && parsed) best.region_seconds = *parsed - *start;
    return best;
}

std::string load_average() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

std::vector<std::string> split(const std::string& text) {
    std::vector<std::string> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty()) out.push_back(item);
    return out;
}

std::string mib(double bytes) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", bytes / (1 << 20));
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    std::filesystem::path data = std::filesystem::temp_directory_path() / "binscope-genome-bench";
    std::string exe = (std::filesystem::canonical("/proc/self/exe").parent_path() / "binscope").string();
    std::uint64_t seed = 1;
    std::vector<unsigned> thread_counts = {1, 2};
    std::vector<std::string> only;
    int repeat = 1;
    bool probes = true, remove_data = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "--data") data = value();
        else if (a == "--exe") exe = value();
        else if (a == "--seed") seed = std::strtoull(value().c_str(), nullptr, 10);
        else if (a == "--repeat") repeat = std::atoi(value().c_str());
        else if (a == "--only") only = split(value());
        else if (a == "--no-probes") probes = false;
        else if (a == "--remove-data") remove_data = true;
        else if (a == "--threads") {
            thread_counts.clear();
            for (const std::string& t : split(value())) thread_counts.push_back(static_cast<unsigned>(std::stoul(t)));
        } else {
            std::fprintf(stderr, "usage: genome_bench [--data DIR] [--exe PATH] [--seed N] [--threads 1,2] "
                                 "[--only W1,W3] [--repeat N] [--no-probes] [--remove-data]\n");
            return 2;
        }
    }
    if (thread_counts.empty() || ::access(exe.c_str(), X_OK) != 0) {
        std::fprintf(stderr, "no thread counts, or %s is not an executable (use --exe)\n", exe.c_str());
        return 2;
    }

    const DatasetFiles files = dataset_files(data);
    try {
        ensure_dataset(files, seed, 2);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "generating the data set failed: %s\n", e.what());
        return 1;
    }
    const std::filesystem::path out_dir = data / "out";
    std::filesystem::create_directories(out_dir);
    const std::string load_before = load_average();
    std::printf("load average before: %s; executable %s\n\n", load_before.c_str(), exe.c_str());
    std::fflush(stdout);

    struct Row {
        std::string workload;
        unsigned threads;
        Measurement m;
        double limit = 0;
    };
    std::vector<Row> rows;
    std::map<std::string, ProbeResult> probe_results;
    bool all_same = true;
    for (const Workload& w : workloads(files)) {
        if (!only.empty() && std::find(only.begin(), only.end(), w.name) == only.end()) continue;
        std::printf("%s: %s\n", w.name.c_str(), w.what.c_str());
        std::string first_out;
        std::vector<std::string> first_args;
        for (unsigned threads : thread_counts) {
            const std::string out = (out_dir / (w.name + "_p" + std::to_string(threads) + ".gz")).string();
            const auto args = command_line(exe, w, out, threads);
            Row row{w.name, threads, measure(args, repeat)};
            row.m.file_bytes = std::filesystem::file_size(out);
            const std::uint64_t members = gzip_member_count(out);
            if (members != 1) {
                std::printf("  -p %u wrote %llu gzip members instead of one\n", threads,
                            static_cast<unsigned long long>(members));
                all_same = false;
            }
            if (first_out.empty()) {
                first_out = out;
                first_args = args;
                row.m.check = "first";
            } else {
                std::string where;
                const bool same = same_matrix_text(first_out, out, where);
                all_same = all_same && same;
                row.m.check = same ? "same" : "DIFFERS: " + where;
                std::filesystem::remove(out);
            }
            std::printf("  -p %u: %.2f s wall, %.2f s CPU, %ld MiB peak, file %llu bytes, output %s\n", threads,
                        row.m.stats.wall_seconds, row.m.stats.cpu_seconds(), row.m.stats.peak_rss_kib / 1024,
                        static_cast<unsigned long long>(row.m.file_bytes), row.m.check.c_str());
            std::fflush(stdout);
            rows.push_back(std::move(row));
        }
        if (probes) {
            // Each probe at its fastest over as many rounds as runs.
            ProbeResult r;
            for (int round = 0; round < std::max(1, repeat); ++round) {
                const std::string bytes = run_in_child([&] {
                    const ProbeResult p = run_probes(first_args, first_out);
                    return std::string(reinterpret_cast<const char*>(&p), sizeof p);
                });
                ProbeResult p;
                std::memcpy(&p, bytes.data(), std::min(bytes.size(), sizeof p));
                if (round == 0) r = p;
                r.read_inflate_seconds = std::min(r.read_inflate_seconds, p.read_inflate_seconds);
                r.compress_seconds = std::min(r.compress_seconds, p.compress_seconds);
                r.zlib_compress_seconds = std::min(r.zlib_compress_seconds, p.zlib_compress_seconds);
                r.format_seconds = std::min(r.format_seconds, p.format_seconds);
            }
            probe_results[w.name] = r;
            std::printf("  probes: (a) %llu blocks, %.0f MB stored -> %.0f MB, %.2f s; (b) %.0f MB text -> %.1f MB, "
                        "%.2f s (zlib level 6: %.1f MB, %.2f s); (c) %llu values, %.2f s%s\n",
                        static_cast<unsigned long long>(r.blocks), r.stored_bytes / 1e6, r.inflated_bytes / 1e6,
                        r.read_inflate_seconds, r.text_bytes / 1e6, r.compressed_bytes / 1e6, r.compress_seconds,
                        r.zlib_compressed_bytes / 1e6, r.zlib_compress_seconds,
                        static_cast<unsigned long long>(r.values), r.format_seconds,
                        r.text_matches ? "" : " TEXT DIFFERS");
            for (Row& row : rows)
                if (row.workload == w.name) row.limit = r.limit(row.threads);
        }
        std::filesystem::remove(first_out);
        std::fflush(stdout);
    }
    const std::string load_after = load_average();

    std::printf("\n| workload | -p | wall s | CPU s | peak RSS MiB | file MB | limit s | wall / limit | output |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows)
        std::printf("| %s | %u | %.2f | %.2f | %ld | %.1f | %s | %s | %s |\n", r.workload.c_str(), r.threads,
                    r.m.stats.wall_seconds, r.m.stats.cpu_seconds(), r.m.stats.peak_rss_kib / 1024,
                    static_cast<double>(r.m.file_bytes) / 1e6,
                    r.limit > 0 ? std::to_string(r.limit).substr(0, 5).c_str() : "-",
                    r.limit > 0 ? std::to_string(r.m.stats.wall_seconds / r.limit).substr(0, 4).c_str() : "-",
                    r.m.check.c_str());

    auto find = [&](const std::string& w, unsigned p) -> const Row* {
        for (const Row& r : rows)
            if (r.workload == w && r.threads == p) return &r;
        return nullptr;
    };
    std::printf("\nspeed-up -p 2 over -p 1:");
    for (const char* w : {"W1", "W2", "W3", "W4", "W5"})
        if (const Row *a = find(w, 1), *b = find(w, 2); a && b)
            std::printf(" %s %.2fx", w, a->m.stats.wall_seconds / b->m.stats.wall_seconds);
    std::printf("\nload average before %s, after %s\n\ntargets:\n", load_before.c_str(), load_after.c_str());
    auto verdict = [](bool ok) { return ok ? "met" : "MISSED"; };
    if (const auto w1 = probe_results.find("W1"); w1 != probe_results.end() && w1->second.compress_seconds > 0) {
        const ProbeResult& r = w1->second;
        const double mb = static_cast<double>(r.text_bytes) / 1e6;
        const double ratio = r.zlib_compress_seconds / r.compress_seconds;
        std::printf("  W1 compression %.1f MB/s, zlib level 6 %.1f MB/s, at least 1.8x: %.2fx  %s\n",
                    mb / r.compress_seconds, mb / r.zlib_compress_seconds, ratio, verdict(ratio >= 1.8));
    }
    if (const Row* w1 = find("W1", 2); w1 && w1->limit > 0)
        std::printf("  W1 -p 2 within 1.15 x limit: %.2f x  %s\n", w1->m.stats.wall_seconds / w1->limit,
                    verdict(w1->m.stats.wall_seconds <= 1.15 * w1->limit));
    for (const char* w : {"W1", "W3"})
        if (const Row *a = find(w, 1), *b = find(w, 2); a && b) {
            const double s = a->m.stats.wall_seconds / b->m.stats.wall_seconds;
            std::printf("  %s -p 2 at least 1.8x -p 1: %.2fx  %s\n", w, s, verdict(s >= 1.8));
        }
    for (const Row& r : rows)
        if (r.workload == "W1" && r.m.matrix_bytes > 0) {
            const double peak = static_cast<double>(r.m.stats.peak_rss_kib) * 1024;
            const double allowed = static_cast<double>(r.m.matrix_bytes) + 250.0 * (1 << 20);
            std::printf("  W1 -p %u peak %s MiB <= matrix %s MiB + 250 MiB: %s\n", r.threads, mib(peak).c_str(),
                        mib(static_cast<double>(r.m.matrix_bytes)).c_str(), verdict(peak <= allowed));
        }
    for (const Row& r : rows)
        if (r.workload == "W4" && r.m.region_seconds) {
            const double mb = static_cast<double>(std::filesystem::file_size(files.transcripts_gtf)) / 1e6;
            const double rate = mb / *r.m.region_seconds;
            std::printf("  W4 -p %u reads the GTF (%.0f MB) at %.0f MB/s (>= 300): %s\n", r.threads, mb, rate,
                        verdict(rate >= 300));
        }
    std::printf("  outputs single-member and identical across thread counts: %s\n", all_same ? "yes" : "NO");

    if (remove_data) {
        std::filesystem::remove_all(data);
        std::printf("removed %s\n", data.c_str());
    }
    return all_same ? 0 : 1;
}
