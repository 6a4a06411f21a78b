// figure_bench.cpp - the figure benchmark: runs `heatmap` and `profile`
// through the real executable on matrix files, alternately with
// `gzip -dc` on the same file, and prints wall time, the ratio to the
// time gzip takes to read the file, peak memory and figure sizes.
//
// Usage: figure_bench [--exe PATH] [--out DIR] [--matrix NAME=FILE]...
//                     [--big ROWSxCOLS] [--threads 1,2] [--repeat N]
//   --matrix   a matrix file to draw (repeatable), e.g. the W1 and W3
//              matrices of the genome benchmark's workloads
//   --big      also generate (once, into --out) a seeded synthetic matrix of
//              that size, e.g. 800000x120, and draw it
//   --repeat   rounds; each measurement keeps its fastest round (default 1)
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "harness/process_run.hpp"

using namespace binscope::bench;
namespace fs = std::filesystem;

namespace {

struct MatrixCase {
    std::string name;
    std::string path;
    std::uint64_t rows = 0;
    std::uint64_t cols = 0;
};

// The last number of the JSON array that follows `key` in the header line.
std::uint64_t last_of_array(const std::string& header, const std::string& key) {
    const auto at = header.find("\"" + key + "\":[");
    if (at == std::string::npos) return 0;
    const auto close = header.find(']', at);
    const auto before = header.find_last_of(",[", close);
    return std::strtoull(header.c_str() + before + 1, nullptr, 10);
}

std::string header_line(const std::string& path) {
    gzFile in = gzopen(path.c_str(), "rb");
    if (!in) return {};
    std::string line;
    char buf[65536];
    while (gzgets(in, buf, sizeof buf)) {
        line += buf;
        if (!line.empty() && line.back() == '\n') break;
    }
    gzclose(in);
    return line;
}

void append_float(std::string& out, float v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    out.append(buf, r.ptr);
}

// A reference-point matrix of `rows` x `cols` (one sample, three groups):
// peaked profiles of random height with noise, and a few missing values.
void write_synthetic(const std::string& path, std::uint64_t rows, std::uint64_t cols) {
    const std::uint64_t bin = 50, up = cols / 2 * bin, down = (cols - cols / 2) * bin;
    const std::uint64_t g1 = rows / 2, g2 = rows / 2 + rows / 3;
    std::ostringstream h;
    h << "@{\"bin avg type\":\"mean\",\"bin size\":[" << bin << "],\"body\":[0],\"downstream\":[" << down
      << "],\"group_boundaries\":[0," << g1 << "," << g2 << "," << rows
      << "],\"group_labels\":[\"genes\",\"peaks\",\"enhancers\"],\"max threshold\":null,\"min threshold\":null,"
         "\"missing data as zero\":false,\"nan after end\":false,\"proc number\":2,\"ref point\":[\"center\"],"
         "\"sample_boundaries\":[0,"
      << cols << "],\"sample_labels\":[\"synthetic\"],\"scale\":1.0,\"skip zeros\":false,\"sort regions\":\"keep\","
                 "\"sort using\":\"mean\",\"unscaled 3 prime\":[0],\"unscaled 5 prime\":[0],\"upstream\":["
      << up << "],\"verbose\":false}\n";
    gzFile out = gzopen(path.c_str(), "wb6");
    std::string text = h.str();
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (std::uint64_t r = 0; r < rows; ++r) {
        const float height = 20.0f * unit(rng) * unit(rng);
        std::vector<float> v(cols);
        double sum = 0;
        for (std::uint64_t c = 0; c < cols; ++c) {
            const double x = (static_cast<double>(c) - cols / 2.0) / (cols / 8.0);
            v[c] = unit(rng) < 0.01f ? NAN : static_cast<float>(height * std::exp(-x * x) + unit(rng));
            if (!std::isnan(v[c])) sum += v[c];
        }
        text += "chr1\t" + std::to_string(r * 1000) + "\t" + std::to_string(r * 1000 + 500) + "\tr" +
                std::to_string(r) + "\t";
        append_float(text, static_cast<float>(sum / cols));
        text += "\t+";
        for (float x : v) {
            text += '\t';
            if (std::isnan(x)) text += "nan";
            else append_float(text, x);
        }
        text += '\n';
        if (text.size() > (1 << 20)) {
            gzwrite(out, text.data(), static_cast<unsigned>(text.size()));
            text.clear();
        }
    }
    gzwrite(out, text.data(), static_cast<unsigned>(text.size()));
    gzclose(out);
}

ProcessStats fastest(const std::vector<std::string>& args, ProcessStats best, bool first) {
    ProcessStats s = run_process_or_exit(args);
    return first || s.wall_seconds < best.wall_seconds ? s : best;
}

struct Variant {
    std::string what;
    std::string extension;
    std::vector<std::string> options;
    unsigned threads;
};

std::vector<unsigned> split_threads(const std::string& text) {
    std::vector<unsigned> out;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        if (!item.empty()) out.push_back(static_cast<unsigned>(std::stoul(item)));
    return out;
}

void bench_matrix(const MatrixCase& m, const std::string& exe, const fs::path& out, const std::vector<unsigned>& threads,
                  int repeat) {
    std::vector<Variant> variants;
    for (unsigned p : threads) {
        variants.push_back({"heatmap", ".png", {}, p});
        variants.push_back({"heatmap --kmeans 5", ".png", {"--kmeans", "5"}, p});
    }
    const unsigned top = threads.back();
    variants.push_back({"heatmap", ".svg", {}, top});
    variants.push_back({"heatmap", ".pdf", {}, top});
    variants.push_back({"profile", ".png", {}, top});
    std::vector<ProcessStats> best(variants.size());
    ProcessStats gzip_best;
    for (int round = 0; round < std::max(1, repeat); ++round)
        for (std::size_t i = 0; i < variants.size(); ++i) {
            gzip_best = fastest({"/bin/gzip", "-dc", m.path}, gzip_best, round == 0 && i == 0);
            const Variant& v = variants[i];
            const std::string command = v.what.substr(0, v.what.find(' '));
            std::vector<std::string> args = {exe, command, "-m", m.path, "-o",
                                             (out / (m.name + "_" + std::to_string(i) + v.extension)).string(), "-p",
                                             std::to_string(v.threads)};
            args.insert(args.end(), v.options.begin(), v.options.end());
            best[i] = fastest(args, best[i], round == 0);
        }
    const double values_mib = static_cast<double>(m.rows * m.cols * 4) / (1 << 20);
    std::printf("\n%s: %llu rows x %llu cols (values %.0f MiB), file %.1f MB, gzip -dc %.2f s\n", m.name.c_str(),
                static_cast<unsigned long long>(m.rows), static_cast<unsigned long long>(m.cols), values_mib,
                static_cast<double>(fs::file_size(m.path)) / 1e6, gzip_best.wall_seconds);
    std::printf("| run | format | -p | wall s | CPU s | / gzip -dc | peak RSS MiB | values + 100 MiB | figure bytes |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|\n");
    for (std::size_t i = 0; i < variants.size(); ++i) {
        const Variant& v = variants[i];
        const auto figure = out / (m.name + "_" + std::to_string(i) + v.extension);
        const double peak = static_cast<double>(best[i].peak_rss_kib) / 1024;
        std::printf("| %s | %s | %u | %.2f | %.2f | %.2f | %.0f | %s | %llu |\n", v.what.c_str(), v.extension.c_str() + 1,
                    v.threads, best[i].wall_seconds, best[i].cpu_seconds(),
                    best[i].wall_seconds / gzip_best.wall_seconds, peak, peak <= values_mib + 100 ? "within" : "OVER",
                    static_cast<unsigned long long>(fs::file_size(figure)));
    }
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::string exe = (fs::canonical("/proc/self/exe").parent_path() / "binscope").string();
    fs::path out = fs::temp_directory_path() / "binscope-figure-bench";
    std::vector<MatrixCase> cases;
    std::vector<unsigned> threads = {1, 2};
    std::string big;
    int repeat = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "usage: figure_bench [--exe PATH] [--out DIR] [--matrix NAME=FILE]... "
                                 "[--big ROWSxCOLS] [--threads 1,2] [--repeat N]\n");
            return 2;
        }
        const std::string value = argv[++i];
        if (a == "--exe") exe = value;
        else if (a == "--out") out = value;
        else if (a == "--threads") threads = split_threads(value);
        else if (a == "--repeat") repeat = std::atoi(value.c_str());
        else if (a == "--big") big = value;
        else if (a == "--matrix" && value.find('=') != std::string::npos)
            cases.push_back({value.substr(0, value.find('=')), value.substr(value.find('=') + 1)});
        else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return 2;
        }
    }
    fs::create_directories(out);
    if (!big.empty()) {
        const auto x = big.find('x');
        const std::uint64_t rows = std::stoull(big.substr(0, x)), cols = std::stoull(big.substr(x + 1));
        const fs::path path = out / ("synthetic_" + big + ".gz");
        if (!fs::exists(path)) {
            std::printf("writing %s\n", path.c_str());
            std::fflush(stdout);
            write_synthetic((out / "partial.gz").string(), rows, cols);
            fs::rename(out / "partial.gz", path);
        }
        cases.push_back({"S" + big, path.string()});
    }
    if (threads.empty() || cases.empty()) {
        std::fprintf(stderr, "nothing to draw: give --matrix or --big\n");
        return 2;
    }
    for (MatrixCase& m : cases) {
        const std::string header = header_line(m.path);
        m.rows = last_of_array(header, "group_boundaries");
        m.cols = last_of_array(header, "sample_boundaries");
        bench_matrix(m, exe, out, threads, repeat);
    }
    return 0;
}
