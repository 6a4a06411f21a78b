// fault_injection_test.cpp - the real executable against failing outputs,
// unusable score files, and region files that vanish.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <string>
#include <vector>

#include "support/bigwig_writer.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

namespace fs = std::filesystem;
using namespace binscope::testing;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Two score files over chr1/chr2 and three genes; every run below starts
// from these.
class FaultInjection : public ::testing::Test {
protected:
    void SetUp() override {
        write_bigwig(dir_.path() / "a.bw", {{"chr1", 5000}, {"chr2", 3000}},
                     {bedgraph_section("chr1", {{0, 1000, 1.0f}, {1000, 2500, 2.5f}, {2600, 4000, -1.0f}}),
                      fixedstep_section("chr2", 100, 50, 40, std::vector<float>(40, 3.0f))});
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
