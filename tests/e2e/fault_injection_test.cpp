// fault_injection_test.cpp - the real executable against failing outputs,
// unusable and truncated score files, and region files that vanish.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <set>
#include <string>
#include <vector>

#include "support/bigwig_writer.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

namespace fs = std::filesystem;
using testing::ProcessResult;
using testing::read_file;
using testing::run_binscope;
using testing::split;
using testing::TempDir;
using testing::write_file;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::uint64_t le64(const std::string& bytes, std::uint64_t at) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes.at(at + static_cast<unsigned>(i)));
    return v;
}
// The values of a values file, row after row, without its heading.
std::vector<std::string> fields(std::string text) {
    text.erase(0, text.find('\n') + 1);
    std::ranges::replace(text, '\n', '\t');
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, '\t');) parts.push_back(part);
    return parts;
}

// Two score files over chr1/chr2 and three genes; every run below starts
// from these.
class FaultInjection : public ::testing::Test {
protected:
    void SetUp() override {
        using namespace testing;
        score_ = bigwig_bytes({{"chr1", 5000}, {"chr2", 3000}},
                              {bedgraph_section("chr1", {{0, 1000, 1.0f}, {1000, 2500, 2.5f}, {2600, 4000, -1.0f}}),
                               fixedstep_section("chr2", 100, 50, 40, std::vector<float>(40, 3.0f))},
                              [] {
                                  BigWigOptions o;
                                  o.items_per_block = 1;  // one block per record: many block boundaries
                                  return o;
                              }());
        write_file(file("a.bw"), score_);
        write_bigwig(dir_.path() / "b.bw", {{"chr1", 5000}}, {bedgraph_section("chr1", {{0, 5000, 0.5f}})});
        write_file(file("genes.bed"), "chr1\t1500\t2000\tg1\t0\t+\nchr1\t3000\t3500\tg2\t0\t-\nchr2\t1000\t1800\tg3\t0\t+\n");
    }

    std::string file(const std::string& name) const { return dir_.file(name); }

    // reference-point with 100-bp bins over `scores` and genes.bed.
    ProcessResult run(std::vector<std::string> scores, const std::string& out, std::vector<std::string> extra = {}) const {
        std::vector<std::string> args{"reference-point", "-S"};
        args.insert(args.end(), scores.begin(), scores.end());
        args.insert(args.end(), {"-R", file("genes.bed"), "-o", out, "--binSize", "100"});
        args.insert(args.end(), extra.begin(), extra.end());
        return run_binscope(args);
    }

    TempDir dir_;
    std::string score_;
};

TEST_F(FaultInjection, FailingMainOutputReportsTheSystemMessageOnly) {
    write_file(file("plain"), "");
    fs::create_directory(file("folder"));
    const std::pair<std::string, std::string> cases[] = {
        {"/dev/full", "No space left on device (os error 28)"},
        {file("gone/m.gz"), "No such file or directory (os error 2)"},
        {file("plain/m.gz"), "Not a directory (os error 20)"},
        {file("folder"), "Is a directory (os error 21)"},
    };
    for (const auto& [out, message] : cases) {
        const ProcessResult r = run({file("a.bw")}, out, {"--outFileNameMatrix", file("v.txt")});
        EXPECT_EQ(r.status, 1);
        EXPECT_TRUE(r.err.ends_with(" dropped due to no data)\nError: " + message + "\n")) << r.err;
        EXPECT_FALSE(fs::exists(file("v.txt")));
    }
}

TEST_F(FaultInjection, FailingOptionalOutputsKeepTheEarlierFilesComplete) {
    const ProcessResult clean = run({file("a.bw"), file("b.bw")}, file("clean.gz"),
                                    {"--outFileNameMatrix", file("clean.txt"), "--outFileSortedRegions", file("clean.bed")});
    ASSERT_EQ(clean.status, 0) << clean.err;

    // The values file fails: the matrix file is whole, the regions file never made.
    const ProcessResult values = run({file("a.bw"), file("b.bw")}, file("m1.gz"),
                                     {"--outFileNameMatrix", "/dev/full", "--outFileSortedRegions", file("s1.bed")});
    EXPECT_EQ(values.status, 1);
    EXPECT_TRUE(values.err.ends_with(" dropped due to no data)\nError: No space left on device (os error 28)\n")) << values.err;
    EXPECT_EQ(read_file(file("m1.gz")), read_file(file("clean.gz")));
    EXPECT_FALSE(fs::exists(file("s1.bed")));

    // The regions file fails: both earlier files are whole.
    const ProcessResult regions = run({file("a.bw"), file("b.bw")}, file("m2.gz"),
                                      {"--outFileNameMatrix", file("v2.txt"), "--outFileSortedRegions", "/dev/full"});
    EXPECT_EQ(regions.status, 1);
    EXPECT_TRUE(regions.err.ends_with(" dropped due to no data)\nError: No space left on device (os error 28)\n")) << regions.err;
    EXPECT_EQ(read_file(file("m2.gz")), read_file(file("clean.gz")));
    EXPECT_EQ(read_file(file("v2.txt")), read_file(file("clean.txt")));
}

// The causes of an unusable file are the bigWig tests' concern; here, that
// the run stops at start-up and how it reports it.
TEST_F(FaultInjection, UnusableScoreFileStopsTheRunAtStartUp) {
    const std::string path = file("dir.bw");
    fs::create_directory(path);
    const ProcessResult r = run({file("a.bw"), path}, file("m.gz"));
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "Error when opening: \"" + path + "\"\n")) << r.err;
    EXPECT_TRUE(r.err.ends_with("Error: Opening " + path + "\n\nCaused by:\n    0: opening bigwig " + path +
                                "\n    1: Is a directory (os error 21)\n"))
        << r.err;
    EXPECT_FALSE(fs::exists(file("m.gz")));
}

// Cuts the score file at every structure boundary (and inside each block).
// Up to the end of the chromosome tree the file cannot be opened; past it
// the run succeeds, and every value is either the intact file's or missing.
TEST_F(FaultInjection, ScoreFileTruncatedAtEveryStructureBoundary) {
    const ProcessResult intact = run({file("a.bw")}, file("intact.gz"), {"--outFileNameMatrix", file("intact.txt")});
    ASSERT_EQ(intact.status, 0) << intact.err;
    const std::vector<std::string> intact_fields = fields(read_file(file("intact.txt")));

    const std::uint64_t tree = le64(score_, 8), data = le64(score_, 16), index = le64(score_, 24);
    ASSERT_TRUE(64 <= tree && tree < data && data < index && index < score_.size());
    ASSERT_EQ(score_[index + 48], 1) << "expected a single-leaf index";
    const std::uint64_t leaves = le64(score_, index + 50) & 0xFFFF;
    std::set<std::uint64_t> cuts{0, 1, 4, 8, 63, 64, tree, tree + 31, tree + 32, tree + 36, data - 1, data,
                                 index, index + 47, index + 48, index + 52, score_.size() - 1};
    for (std::uint64_t i = 0; i < leaves; ++i) {
        const std::uint64_t item = index + 52 + 32 * i;
        const std::uint64_t offset = le64(score_, item + 16), size = le64(score_, item + 24);
        cuts.insert({item + 32, offset, offset + size / 2, offset + size - 1, offset + size});
    }

    for (std::uint64_t cut : cuts) {
        SCOPED_TRACE("cut at " + std::to_string(cut) + " of " + std::to_string(score_.size()));
        write_file(file("cut.bw"), score_.substr(0, cut));
        fs::remove(file("cut.txt"));
        const ProcessResult r = run({file("cut.bw")}, file("cut.gz"), {"--outFileNameMatrix", file("cut.txt")});
        if (cut < data) {
            EXPECT_EQ(r.status, 1);
            EXPECT_TRUE(contains(r.err, "\nError: Opening " + file("cut.bw") + "\n")) << r.err;
            EXPECT_FALSE(fs::exists(file("cut.txt")));
            continue;
        }
        ASSERT_EQ(r.status, 0) << r.err;
        const std::vector<std::string> got = fields(read_file(file("cut.txt")));
        ASSERT_EQ(got.size(), intact_fields.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_TRUE(got[i] == intact_fields[i] || got[i] == "nan") << "field " << i << ": " << got[i] << " was "
                                                                      << intact_fields[i];
        // Without any index item the file lists chromosomes but holds no value.
        if (cut < index + 52 + 32 * leaves) {
            EXPECT_TRUE(contains(r.err, "(3 dropped due to no data)")) << r.err;
        }
    }
}

// The region file is a FIFO: the test removes its name once the executable
// has opened it and only then sends the lines: what was opened is read to
// its end.
TEST_F(FaultInjection, RegionFileThatVanishesAfterTheStartLine) {
    const std::string fifo = file("regions.bed");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto live = std::async(std::launch::async, [&] {
        return run_binscope({"reference-point", "-S", file("a.bw"), "-R", fifo, "-o", file("m.gz"), "--binSize", "100"});
    });
    int fd = -1;  // opens once the executable has opened the FIFO for reading
    while (fd < 0 && live.wait_for(std::chrono::milliseconds(5)) == std::future_status::timeout)
        fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0) << live.get().err;
    ASSERT_EQ(unlink(fifo.c_str()), 0);
    const std::string lines = "chr1\t1500\t2000\tg1\nchr2\t1000\t1800\tg3\n";
    ASSERT_EQ(write(fd, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    close(fd);
    const ProcessResult read_all = live.get();
    EXPECT_EQ(read_all.status, 0) << read_all.err;
    EXPECT_TRUE(contains(read_all.err, "[binscope] Parsed 2 region(s) in 1 group(s)\n")) << read_all.err;
}

}  // namespace
}  // namespace binscope
