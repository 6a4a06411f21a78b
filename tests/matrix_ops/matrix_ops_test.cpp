// matrix_ops_test.cpp - the matrix operations through the executable: each
// output equals the file a direct run writes for the same rows and samples,
// each refusal says why and leaves no output and its inputs as they were.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/bigwig_writer.hpp"
#include "support/matrix_reads_back.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;
namespace fs = std::filesystem;

// The matrix file's text without its header's "proc number": the one key
// the operations and the runs may differ in.
std::string text_without_thread_count(const std::string& path) {
    std::string text = read_gzip_file(path);
    const std::size_t at = text.find("\"proc number\":");
    if (at < text.find('\n')) text.erase(at, text.find(',', at) - at);
    return text;
}

// Words with "{d}" replaced by the data folder and "{t}" by the output folder.
std::vector<std::string> expand(const std::vector<std::string>& words, const fs::path& data, const fs::path& out) {
    std::vector<std::string> args;
    for (std::string w : words) {
        for (auto [key, value] : {std::pair{"{d}", data.string()}, std::pair{"{t}", out.string()}})
            for (std::size_t at; (at = w.find(key)) != std::string::npos;) w.replace(at, 3, value);
        args.push_back(w);
    }
    return args;
}

// Three score files s0, s1, s2 over two chromosomes, with stretches of no
// data (rows of nothing but NaN) and of zeros; regions in a.bed and b.bed
// on both strands, one region listed twice, some with blocks.
void write_data(const fs::path& dir) {
    std::mt19937 rng(26);
    const std::uint32_t length = 60000;
    for (int s = 0; s < 3; ++s) {
        std::vector<BigWigSection> sections;
        for (const char* chrom : {"chr1", "chr2"}) {
            std::vector<BedGraphItem> items;
            for (std::uint32_t at = 0; at + 500 < length; at += 500) {
                if (at >= 20000 && at < 30000) continue;  // no data here
                const float value = at >= 40000 && at < 45000 ? 0.0f : static_cast<float>(rng() % 1000) / 8.0f - 20;
                items.push_back({at, at + 400, value});
            }
            sections.push_back(bedgraph_section(chrom, items));
        }
        write_bigwig(dir / fmt::format("s{}.bw", s), {{"chr1", length}, {"chr2", length}}, sections);
    }
    std::string a, b;
    for (int i = 0; i < 24; ++i) {
        const std::int64_t start = 1000 + 2300 * i;
        a += fmt::format("chr{}\t{}\t{}\ta{}\t0\t{}\n", 1 + i % 2, start, start + 1500, i, "+-."[i % 3]);
        b += fmt::format("chr{}\t{}\t{}\tb{}\t0\t{}\n", 2 - i % 2, start + 700, start + 900, i, "+-"[i % 2]);
    }
    a += "chr2\t3300\t4800\ta1\t0\t-\n";  // a region again
    write_file(dir / "a.bed", a);
    write_file(dir / "b.bed", b);
    std::string plus;
    for (const std::string& line : split(a, '\n'))
        if (line.ends_with('+')) plus += line + "\n";
    write_file(dir / "a_plus.bed", plus);
}

void run_ok(const std::vector<std::string>& args) {
    const auto r = run_binscope(args);
    ASSERT_EQ(r.status, 0) << fmt::format("{}", fmt::join(args, " ")) << "\n" << r.err;
}

class MatrixOps : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir();
        write_data(dir_->path());
    }
    static void TearDownTestSuite() { delete dir_; }
    static TempDir* dir_;
    TempDir out_;
};
TempDir* MatrixOps::dir_ = nullptr;

// One identity: the last step's output equals the direct run's.
struct Identity {
    std::string name;
    std::vector<std::string> direct;               // writes {t}/direct.gz
    std::vector<std::vector<std::string>> steps;   // the last writes {t}/out.gz
};

// The compute subcommands' arguments for a data set: the run kind and
// layout, then -S files, then -R files.
std::vector<std::string> run(std::string kind, std::vector<std::string> samples, std::vector<std::string> regions,
                             std::string out, std::vector<std::string> extra = {}) {
    std::vector<std::string> args{kind, "-S"};
    args.insert(args.end(), samples.begin(), samples.end());
    args.push_back("-R");
    args.insert(args.end(), regions.begin(), regions.end());
    for (auto w : {"-o", out.c_str(), "-q"}) args.push_back(w);
    if (std::find(extra.begin(), extra.end(), "--binSize") == extra.end()) args.insert(args.end(), {"--binSize", "50"});
    if (kind == "reference-point") args.insert(args.end(), {"-b", "700", "-a", "800"});
    if (kind == "scale-regions") args.insert(args.end(), {"-b", "300", "-a", "300", "--regionBodyLength", "600"});
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
}

std::vector<Identity> identities(const std::string& kind, const std::string& s0, const std::string& s1,
                                 const std::string& s2, const std::string& a, const std::string& b,
                                 const std::string& a_plus) {
    const auto m = [](std::vector<std::string> words) {
        words.insert(words.begin(), "matrix");
        words.push_back("-q");
        return words;
    };
    // The three chunks of a run, with extra options, into {t}/c1.gz ... c3.gz.
    const auto chunks = [&](std::vector<std::string> extra) {
        std::vector<std::vector<std::string>> steps;
        for (int i = 1; i <= 3; ++i) {
            auto args = extra;
            args.insert(args.end(), {"--chunk", fmt::format("{}/3", i)});
            steps.push_back(run(kind, {s0, s1}, {a, b}, fmt::format("{{t}}/c{}.gz", i), args));
        }
        return steps;
    };
    const auto then = [](std::vector<std::vector<std::string>> steps, std::vector<std::vector<std::string>> more) {
        steps.insert(steps.end(), more.begin(), more.end());
        return steps;
    };
    const auto gather = [](std::string out) {
        return std::vector<std::string>{"matrix", "rbind", "-m", "{t}/c1.gz", "{t}/c2.gz", "{t}/c3.gz", "-q", "-o", out};
    };
    return {
        {"rbind of chunks", run(kind, {s0, s1}, {a, b}, "{t}/direct.gz", {"--skipZeros"}),
         then(chunks({"--skipZeros"}), {gather("{t}/out.gz")})},
        {"rbind of chunks, then sort",
         run(kind, {s0, s1}, {a, b}, "{t}/direct.gz", {"--sortRegions", "descend", "--sortUsing", "median"}),
         then(chunks({"--sortRegions", "descend", "--sortUsing", "median"}),
              {gather("{t}/all.gz"),
               m({"sort", "-m", "{t}/all.gz", "--sortRegions", "descend", "--sortUsing", "median", "-o",
                  "{t}/out.gz"})})},
        {"rbind of relabelled runs", run(kind, {s0, s1}, {a, b}, "{t}/direct.gz"),
         {run(kind, {s0, s1}, {a}, "{t}/a.gz"), run(kind, {s0, s1}, {b}, "{t}/b.gz"),
          m({"relabel", "-m", "{t}/a.gz", "-o", "{t}/a.gz", "--groupLabels", "a"}),
          m({"relabel", "-m", "{t}/b.gz", "-o", "{t}/b2.gz", "--groupLabels", "b"}),
          m({"rbind", "-m", "{t}/a.gz", "{t}/b2.gz", "-o", "{t}/out.gz", "-p", "2"})}},
        {"cbind of runs over samples", run(kind, {s0, s1, s2}, {a, b}, "{t}/direct.gz"),
         {run(kind, {s0}, {a, b}, "{t}/x.gz"), run(kind, {s1, s2}, {a, b}, "{t}/y.gz"),
          m({"cbind", "-m", "{t}/x.gz", "{t}/y.gz", "-o", "{t}/out.gz", "-p", "3"})}},
        {"subset of samples", run(kind, {s2, s0}, {a, b}, "{t}/direct.gz"),
         {run(kind, {s0, s1, s2}, {a, b}, "{t}/x.gz"),
          m({"subset", "-m", "{t}/x.gz", "--samples", "s2", "1", "-o", "{t}/out.gz"})}},
        {"subset of a group", run(kind, {s0, s1}, {b}, "{t}/direct.gz"),
         {run(kind, {s0, s1}, {a, b}, "{t}/x.gz"), m({"subset", "-m", "{t}/x.gz", "--groups", "b", "-o", "{t}/y.gz"}),
          m({"relabel", "-m", "{t}/y.gz", "--groupLabels", "genes", "-o", "{t}/out.gz"})}},
        {"filter of a strand", run(kind, {s0, s1}, {a_plus}, "{t}/direct.gz"),
         {run(kind, {s0, s1}, {a}, "{t}/x.gz"), m({"filter", "-m", "{t}/x.gz", "--strand", "+", "-o", "{t}/out.gz"})}},
        {"filter of listed regions", run(kind, {s0, s1}, {a_plus}, "{t}/direct.gz"),
         {run(kind, {s0, s1}, {a}, "{t}/x.gz"),
          m({"filter", "-m", "{t}/x.gz", "-R", a_plus, "-o", "{t}/out.gz", "-p", "2"})}},
        {"filter --skipZeros of a cbind", run(kind, {s0, s1, s2}, {a, b}, "{t}/direct.gz", {"--skipZeros"}),
         {run(kind, {s0, s1}, {a, b}, "{t}/x.gz"), run(kind, {s2}, {a, b}, "{t}/y.gz"),
          m({"cbind", "-m", "{t}/x.gz", "{t}/y.gz", "-o", "{t}/z.gz"}),
          m({"filter", "-m", "{t}/z.gz", "--skipZeros", "-o", "{t}/out.gz"})}},
        {"filter with thresholds", run(kind, {s0, s1}, {a, b}, "{t}/direct.gz", {"--minThreshold=-19", "--maxThreshold", "29"}),
         {run(kind, {s0, s1}, {a, b}, "{t}/x.gz"),
          m({"filter", "-m", "{t}/x.gz", "--minThreshold=-19", "--maxThreshold", "29", "-o", "{t}/out.gz"})}},
        {"sort descending", run(kind, {s0, s1}, {a, b}, "{t}/direct.gz", {"--sortRegions", "descend"}),
         {run(kind, {s0, s1}, {a, b}, "{t}/x.gz"),
          m({"sort", "-m", "{t}/x.gz", "--sortRegions", "descend", "-o", "{t}/out.gz", "-p", "2"})}},
        {"sort by a statistic", run(kind, {s0, s1}, {a, b}, "{t}/direct.gz", {"--sortRegions", "ascend", "--sortUsing", "max"}),
         {run(kind, {s0, s1}, {a, b}, "{t}/x.gz"),
          m({"sort", "-m", "{t}/x.gz", "--sortRegions", "ascend", "--sortUsing", "max", "-o", "{t}/out.gz"})}},
        {"sort back into file order", run(kind, {s0, s1}, {a, b}, "{t}/direct.gz"),
         {run(kind, {s0, s1}, {a, b}, "{t}/x.gz", {"--sortRegions", "descend"}),
          m({"sort", "-m", "{t}/x.gz", "-R", a, b, "-o", "{t}/out.gz"})}},
        {"relabel of samples", run(kind, {s0, s1}, {a}, "{t}/direct.gz", {"--samplesLabel", "x", "y"}),
         {run(kind, {s0, s1}, {a}, "{t}/x.gz"),
          m({"relabel", "-m", "{t}/x.gz", "--samplesLabel", "x", "y", "-o", "{t}/out.gz"})}},
    };
}

void check_identities(const std::vector<Identity>& cases, const fs::path& data, const std::string& kind) {
    for (const Identity& c : cases) {
        SCOPED_TRACE(kind + ": " + c.name);
        TempDir out;
        run_ok(expand(c.direct, data, out.path()));
        for (const auto& step : c.steps) run_ok(expand(step, data, out.path()));
        EXPECT_EQ(text_without_thread_count(out.file("out.gz")), text_without_thread_count(out.file("direct.gz")));
        expect_matrix_reads_back(out.file("out.gz"));
    }
}

TEST_F(MatrixOps, OutputsEqualDirectRuns) {
    for (const std::string kind : {"reference-point", "scale-regions"})
        check_identities(identities(kind, "{d}/s0.bw", "{d}/s1.bw", "{d}/s2.bw", "{d}/a.bed", "{d}/b.bed",
                                    "{d}/a_plus.bed"),
                         dir_->path(), kind);
}

// A data set of one score file under three names and the lines of one
// region file cut in two, as the identities want it.
void copy_data(const fs::path& dir, const fs::path& score_file, const fs::path& regions, std::size_t first_part) {
    for (int s = 0; s < 3; ++s) fs::copy_file(score_file, dir / fmt::format("s{}.bw", s));
    std::string a, b, plus;
    const auto lines = split(read_file(regions), '\n');
    for (std::size_t i = 0; i < lines.size(); ++i) {
        (i < first_part ? a : b) += lines[i] + "\n";
        if (i < first_part && lines[i].ends_with('+')) plus += lines[i] + "\n";
    }
    write_file(dir / "a.bed", a);
    write_file(dir / "b.bed", b);
    write_file(dir / "a_plus.bed", plus);
}

std::vector<Identity> data_set_identities() {
    return identities("reference-point", "{d}/s0.bw", "{d}/s1.bw", "{d}/s2.bw", "{d}/a.bed", "{d}/b.bed",
                      "{d}/a_plus.bed");
}

TEST_F(MatrixOps, OutputsEqualDirectRunsOnTheBundledExample) {
    const fs::path example = fs::path(BINSCOPE_TEST_DATA) / "../../examples";
    copy_data(out_.path(), example / "example.bw", example / "genes.bed", 7);
    check_identities(data_set_identities(), out_.path(), "bundled example");
}

TEST_F(MatrixOps, OutputsEqualDirectRunsOnSharedFixtures) {
    const fs::path real = shared_fixture("real");
    if (!fs::exists(real / "bigwig/purecn_ex2_mappability.bigWig")) GTEST_SKIP() << "no shared fixtures";
    copy_data(out_.path(), real / "bigwig/purecn_ex2_mappability.bigWig", real / "bed/purecn_ex2_intervals.bed", 3);
    auto cases = data_set_identities();
    // No region of these files has a strand.
    std::erase_if(cases, [](const Identity& c) { return c.name.starts_with("filter of"); });
    check_identities(cases, out_.path(), "shared fixtures");
}

// A refusal: the status, words of the report, and no output left.
struct Refusal {
    std::string name;
    std::vector<std::string> args;
    int status;
    std::string message;
};

TEST_F(MatrixOps, RefusalsSayWhyAndLeaveNoOutput) {
    const fs::path& d = dir_->path();
    const fs::path t = out_.path();
    for (const auto& args : {run("reference-point", {"{d}/s0.bw", "{d}/s1.bw", "{d}/s2.bw"}, {"{d}/a.bed"}, "{t}/m.gz"),
                             run("reference-point", {"{d}/s0.bw"}, {"{d}/a.bed"}, "{t}/one.gz"),
                             run("reference-point", {"{d}/s0.bw"}, {"{d}/b.bed"}, "{t}/other.gz"),
                             run("reference-point", {"{d}/s1.bw"}, {"{d}/a.bed"}, "{t}/wide.gz", {"--binSize", "100", "--samplesLabel", "s0"}),
                             run("reference-point", {"{d}/s1.bw"}, {"{d}/a.bed"}, "{t}/zeros.gz", {"--skipZeros"}),
                             run("reference-point", {"{d}/s0.bw", "{d}/s0.bw"}, {"{d}/a.bed"}, "{t}/twice.gz"),
                             run("reference-point", {"{d}/s0.bw"}, {"{d}/a.bed"}, "{t}/scaled.gz", {"--scale", "2"})})
        run_ok(expand(args, d, t));
    write_file(t / "truncated.gz", read_file(t / "m.gz").substr(0, 300));
    write_file(t / "short.bed", "chr1\t1000\t2500\ta0\t0\t+\n");
    const std::vector<Refusal> refusals{
        {"rbind of other samples", {"rbind", "-m", "{t}/m.gz", "{t}/one.gz", "-o", "{t}/out.gz"}, 1,
         "Combining rows: the inputs differ in \"sample_labels\": [\"s0\",\"s1\",\"s2\"] in {t}/m.gz, [\"s0\"] in {t}/one.gz"},
        {"rbind of another bin size", {"rbind", "-m", "{t}/one.gz", "{t}/wide.gz", "-o", "{t}/out.gz"}, 1,
         "Combining rows: the inputs differ in \"bin size\": [50] in {t}/one.gz, [100] in {t}/wide.gz"},
        {"cbind of another bin size", {"cbind", "-m", "{t}/one.gz", "{t}/wide.gz", "-o", "{t}/out.gz"}, 1,
         "Combining samples: the inputs differ in \"bin size\": 50 in {t}/one.gz, 100 in {t}/wide.gz"},
        {"cbind of other regions", {"cbind", "-m", "{t}/one.gz", "{t}/other.gz", "-o", "{t}/out.gz"}, 1,
         "Combining samples: the region chr1:1000-2500 a0 (+) of group \"genes\" in {t}/one.gz is missing from "
         "{t}/other.gz"},
        {"cbind of a row-filtered input", {"cbind", "-m", "{t}/one.gz", "{t}/zeros.gz", "-o", "{t}/out.gz"}, 1,
         "Combining samples: {t}/zeros.gz records a row filter (\"skip zeros\": true): the rows it dropped depend on "
         "every sample"},
        {"subset of samples of a row-filtered input", {"subset", "-m", "{t}/zeros.gz", "--samples", "1", "-o", "{t}/out.gz"}, 1,
         "Taking samples apart: {t}/zeros.gz records a row filter (\"skip zeros\": true)"},
        {"a sample no label or number names", {"subset", "-m", "{t}/m.gz", "--samples", "s9", "-o", "{t}/out.gz"}, 2,
         "--samples s9: no label is s9, and it is no number from 1 to 3"},
        {"a group number past the last", {"subset", "-m", "{t}/m.gz", "--groups", "2", "-o", "{t}/out.gz"}, 2,
         "--groups 2: no label is 2, and it is no number from 1 to 1"},
        {"a label two samples share", {"subset", "-m", "{t}/twice.gz", "--samples", "s0", "-o", "{t}/out.gz"}, 2,
         "--samples s0: the label is shared by 1 and 2: give its number instead"},
        {"too few sample labels", {"relabel", "-m", "{t}/m.gz", "--samplesLabel", "x", "-o", "{t}/out.gz"}, 2,
         "--samplesLabel gives 1 labels for the 3 samples of {t}/m.gz"},
        {"too many group labels", {"relabel", "-m", "{t}/m.gz", "--groupLabels", "x", "y", "-o", "{t}/out.gz"}, 2,
         "--groupLabels gives 2 labels for the 1 groups of {t}/m.gz"},
        {"two orders at once", {"sort", "-m", "{t}/m.gz", "--sortRegions", "descend", "-R", "{d}/a.bed", "-o", "{t}/out.gz"}, 2,
         "sort takes exactly one of --sortRegions, --regionsFileName and --sortedRegions"},
        {"no order", {"sort", "-m", "{t}/m.gz", "-o", "{t}/out.gz"}, 2,
         "sort takes exactly one of --sortRegions, --regionsFileName and --sortedRegions"},
        {"a sort sample past the last", {"sort", "-m", "{t}/m.gz", "--sortRegions", "descend", "--sortUsingSamples", "4", "-o", "{t}/out.gz"}, 2,
         "Invalid --sortUsingSamples: 4 (the matrix has 3 samples)"},
        {"an order file without a row's region", {"sort", "-m", "{t}/m.gz", "-R", "{t}/short.bed", "-o", "{t}/out.gz"}, 1,
         "Ordering rows: the region chr2:3300-4800 a1 (-) is not in {t}/short.bed"},
        {"a sorted-regions file without a row's region", {"sort", "-m", "{t}/m.gz", "--sortedRegions", "{t}/short.bed", "-o", "{t}/out.gz"}, 1,
         "Ordering rows: the region chr2:3300-4800 a1 (-) of the matrix is not in {t}/short.bed"},
        {"thresholds on scaled values", {"filter", "-m", "{t}/scaled.gz", "--minThreshold", "1", "-o", "{t}/out.gz"}, 2,
         "--minThreshold and --maxThreshold test unscaled values, but the values of {t}/scaled.gz were scaled by 2"},
        {"a region file for a matrix", {"info", "-m", "{d}/a.bed"}, 1, "Reading matrix file {d}/a.bed"},
        {"a truncated file", {"rbind", "-m", "{t}/one.gz", "{t}/truncated.gz", "-o", "{t}/out.gz"}, 1,
         "Reading matrix file {t}/truncated.gz"},
        {"a missing file", {"filter", "-m", "{t}/none.gz", "--strand", "+", "-o", "{t}/out.gz"}, 1,
         "Reading matrix file {t}/none.gz"},
        {"an unknown strand", {"filter", "-m", "{t}/m.gz", "--strand", "x", "-o", "{t}/out.gz"}, 2,
         "invalid value 'x' for '--strand <STRAND>': expected +, - or ."},
        {"an output folder that is not there", {"relabel", "-m", "{t}/m.gz", "-o", "{t}/no/out.gz"}, 1,
         "No such file or directory"},
    };
    const std::vector<std::string> inputs{"m.gz", "one.gz", "zeros.gz", "twice.gz", "scaled.gz", "truncated.gz"};
    std::vector<std::string> before;
    for (const auto& name : inputs) before.push_back(read_file(t / name));
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.name);
        std::vector<std::string> args{"matrix"};
        for (const auto& a : expand(r.args, d, t)) args.push_back(a);
        const auto result = run_binscope(args);
        EXPECT_EQ(result.status, r.status) << result.err;
        EXPECT_NE(result.err.find(expand({r.message}, d, t)[0]), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(t / "out.gz"));
        for (const auto& entry : fs::directory_iterator(t))
            EXPECT_FALSE(entry.path().extension() == ".tmp") << entry.path();
        for (std::size_t i = 0; i < inputs.size(); ++i) EXPECT_EQ(read_file(t / inputs[i]), before[i]) << inputs[i];
    }
}

// An output that names its input replaces it only once complete; an empty
// result is a valid matrix, with a warning naming the filter.
TEST_F(MatrixOps, OutputNamingItsInputAndEmptyResults) {
    const fs::path& d = dir_->path();
    const fs::path t = out_.path();
    run_ok(expand(run("reference-point", {"{d}/s0.bw", "{d}/s1.bw"}, {"{d}/a.bed"}, "{t}/m.gz"), d, t));
    run_ok(expand({"matrix", "relabel", "-m", "{t}/m.gz", "--samplesLabel", "x", "y", "-o", "{t}/copy.gz"}, d, t));
    run_ok(expand({"matrix", "relabel", "-m", "{t}/m.gz", "--samplesLabel", "x", "y", "-o", "{t}/m.gz"}, d, t));
    EXPECT_EQ(read_file(t / "m.gz"), read_file(t / "copy.gz"));

    const auto empty = run_binscope(expand({"matrix", "filter", "-m", "{t}/m.gz", "--min", "1e9", "--skipZeros", "-o", "{t}/e.gz"}, d, t));
    ASSERT_EQ(empty.status, 0) << empty.err;
    EXPECT_NE(empty.err.find("[binscope] Warning: no row passed the filters (--min 1000000000 dropped 21, --skipZeros dropped 4): "),
              std::string::npos)
        << empty.err;
    const std::string text = read_gzip_file(t / "e.gz");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
    EXPECT_NE(text.find("\"group_boundaries\":[0,0],\"group_labels\":[]"), std::string::npos);
    expect_matrix_reads_back(t / "e.gz");
    // The operations read it back like any matrix.
    run_ok(expand({"matrix", "rbind", "-m", "{t}/e.gz", "{t}/e.gz", "-o", "{t}/e2.gz"}, d, t));
    EXPECT_EQ(read_gzip_file(t / "e2.gz"), text);
}

// The same file at every thread count, byte for byte.
TEST_F(MatrixOps, ThreadCountsGiveTheSameBytes) {
    const fs::path& d = dir_->path();
    const fs::path t = out_.path();
    run_ok(expand(run("scale-regions", {"{d}/s0.bw", "{d}/s1.bw"}, {"{d}/a.bed", "{d}/b.bed"}, "{t}/m.gz"), d, t));
    for (const std::vector<std::string>& op :
         {std::vector<std::string>{"rbind", "-m", "{t}/m.gz", "{t}/m.gz"}, {"cbind", "-m", "{t}/m.gz", "{t}/m.gz"},
          {"subset", "-m", "{t}/m.gz", "--samples", "2", "--groups", "b", "a"},
          {"filter", "-m", "{t}/m.gz", "--strand", "-"}, {"sort", "-m", "{t}/m.gz", "--sortRegions", "descend"}}) {
        SCOPED_TRACE(op[0]);
        std::vector<std::string> files;
        for (const char* threads : {"1", "2", "5"}) {
            std::vector<std::string> args{"matrix"};
            for (const auto& a : expand(op, d, t)) args.push_back(a);
            files.push_back(out_.file(fmt::format("p{}.gz", threads)));
            args.insert(args.end(), {"-o", files.back(), "-p", threads, "-q"});
            run_ok(args);
        }
        EXPECT_EQ(read_file(files[0]), read_file(files[1]));
        EXPECT_EQ(read_file(files[0]), read_file(files[2]));
    }
}

// Clusters found by the heat map on one matrix regroup another: the rows
// in the order and the groups of the sorted-regions file.
TEST_F(MatrixOps, SortedRegionsRegroupAnotherMatrix) {
    const fs::path& d = dir_->path();
    const fs::path t = out_.path();
    run_ok(expand(run("reference-point", {"{d}/s0.bw"}, {"{d}/a.bed", "{d}/b.bed"}, "{t}/one.gz"), d, t));
    run_ok(expand(run("reference-point", {"{d}/s1.bw", "{d}/s2.bw"}, {"{d}/a.bed", "{d}/b.bed"}, "{t}/two.gz"), d, t));
    run_ok(expand({"heatmap", "-m", "{t}/one.gz", "-o", "{t}/h.png", "--kmeans", "3", "--outFileSortedRegions",
                   "{t}/clusters.bed"},
                  d, t));
    run_ok(expand({"matrix", "sort", "-m", "{t}/two.gz", "--sortedRegions", "{t}/clusters.bed", "-o", "{t}/out.gz"},
                  d, t));
    const auto bed = split(read_file(t / "clusters.bed"), '\n');
    const auto rows = split(read_gzip_file(t / "out.gz"), '\n');
    ASSERT_EQ(rows.size(), bed.size());  // a header line each
    std::vector<std::string> labels;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto b = split(bed[i], '\t');
        const auto r = split(rows[i], '\t');
        EXPECT_EQ(std::vector(r.begin(), r.begin() + 4), (std::vector{b[0], b[1], b[2], b[3]})) << i;
        if (labels.empty() || labels.back() != b[12]) labels.push_back(b[12]);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"cluster_1", "cluster_2", "cluster_3"}));
    EXPECT_NE(rows[0].find("\"group_labels\":[\"cluster_1\",\"cluster_2\",\"cluster_3\"]"), std::string::npos);
    EXPECT_NE(rows[0].find("\"sample_labels\":[\"s1\",\"s2\"]"), std::string::npos);
    expect_matrix_reads_back(t / "out.gz");
}

// info and range: what the header says, and the percentiles as the heat
// map's colour limits take them.
TEST_F(MatrixOps, InfoAndRange) {
    const fs::path& d = dir_->path();
    const fs::path t = out_.path();
    run_ok(expand(run("reference-point", {"{d}/s0.bw", "{d}/s1.bw"}, {"{d}/a.bed", "{d}/b.bed"}, "{t}/m.gz"), d, t));
    const auto info = run_binscope(expand({"matrix", "info", "-m", "{t}/m.gz", "--json"}, d, t));
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_NE(info.out.find("{\"rows\":49,\"columns\":60,\"samples\":[{\"label\":\"s0\",\"bins\":30},{\"label\":\"s1\","
                            "\"bins\":30}],\"groups\":[{\"label\":\"a\",\"rows\":25},{\"label\":\"b\",\"rows\":24}]"),
              std::string::npos)
        << info.out;
    const auto text = run_binscope(expand({"matrix", "info", "-m", "{t}/m.gz"}, d, t));
    EXPECT_NE(text.out.find("49 rows x 60 columns\n2 sample(s):\n  1. s0 (30 bins)\n"), std::string::npos) << text.out;

    // A matrix of the values 1 to 200 and one NaN: p1 is the value of rank
    // floor(0.01 x 199) = 1, p50 of rank 99, p99 of rank 197 (0-based).
    std::string rows = "@{\"bin avg type\":\"mean\",\"bin size\":[1],\"body\":[0],\"downstream\":[201],"
                       "\"group_boundaries\":[0,1],\"group_labels\":[\"g\"],\"max threshold\":null,\"min threshold\":null,"
                       "\"missing data as zero\":false,\"nan after end\":false,\"proc number\":1,\"ref point\":[\"TSS\"],"
                       "\"sample_boundaries\":[0,201],\"sample_labels\":[\"x\"],\"scale\":1.0,\"skip zeros\":false,"
                       "\"sort regions\":\"keep\",\"sort using\":\"mean\",\"upstream\":[0],\"verbose\":false}\n"
                       "chr1\t0\t10\tr\t1\t+";
    for (int v = 200; v >= 1; --v) rows += fmt::format("\t{}", v);
    rows += "\tnan\n";
    const std::string plain = out_.file("r.txt");
    write_file(plain, rows);
    ASSERT_EQ(std::system(fmt::format("gzip -n -c {} > {}", plain, out_.file("r.gz")).c_str()), 0);
    const auto range = run_binscope({"matrix", "range", "-m", out_.file("r.gz")});
    ASSERT_EQ(range.status, 0) << range.err;
    EXPECT_EQ(range.out, "sample\tvalues\tmissing\tmin\tmax\tmean\tp1\tp50\tp99\nx\t200\t1\t1.0\t200.0\t100.5\t2.0\t100.0\t198.0\n");
}

}  // namespace
}  // namespace binscope
