// run_test.cpp - the real executable: exit statuses, help, usage errors,
// the error report and the progress lines of a run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "support/bigwig_writer.hpp"
#include "support/matrix_reads_back.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

namespace fs = std::filesystem;
using namespace binscope::testing;

// A folder with two score files over chr1 and a BED file of two genes.
class RunFixture : public ::testing::Test {
protected:
    void SetUp() override {
        write_bigwig(dir_.path() / "a.bw", {{"chr1", 10000}}, {bedgraph_section("chr1", {{0, 10000, 2.0f}})});
        write_bigwig(dir_.path() / "b.bw", {{"chr1", 10000}}, {bedgraph_section("chr1", {{1000, 3000, 1.0f}})});
        write_file(dir_.path() / "genes.bed", "chr1\t2000\t3000\tg1\t0\t+\nchr1\t6000\t7000\tg2\t0\t-\n");
    }

    std::string file(const std::string& name) const { return dir_.file(name); }

    // reference-point over both score files and genes.bed, plus `extra`.
    ProcessResult run(std::vector<std::string> extra) const {
        std::vector<std::string> args{"reference-point", "-S", file("a.bw"), file("b.bw"), "-R", file("genes.bed"),
                                      "-o", file("m.gz")};
        args.insert(args.end(), extra.begin(), extra.end());
        return run_binscope(args);
    }

    TempDir dir_;
};

TEST(RunExecutable, HelpVersionAndUsageErrors) {
    const ProcessResult bare = run_binscope({}), version = run_binscope({"--version"});
    EXPECT_EQ(std::tie(bare.status, bare.out), std::tuple(2, ""));
    EXPECT_NE(bare.err.find("Usage: binscope"), std::string::npos);
    EXPECT_EQ(std::tie(version.status, version.out, version.err), std::tuple(0, "binscope 0.1.0\n", ""));

    for (const char* sub : {"reference-point", "scale-regions"}) {
        const ProcessResult help = run_binscope({sub, "--help"});
        EXPECT_EQ(help.status, 0);
        EXPECT_EQ(help.err, "");
        EXPECT_NE(help.out.find("\nUsage: binscope " + std::string(sub) + " [OPTIONS]"), std::string::npos);
        EXPECT_EQ(run_binscope({"help", sub}).out, help.out);
    }
}

TEST_F(RunFixture, DriverRefusals) {
    write_file(file("empty.bed"), "\ntrack name=x\n\n");
    write_file(file("black.bed"), "chr1\t0\t9000\n");
    const std::pair<ProcessResult, std::string> cases[] = {
        // Refused parameters are reported before any progress line.
        {run({"--averageTypeBins", "Median"}),
         "Error: Invalid --averageTypeBins: Median\n\nCaused by:\n    unknown average type: Median\n"},
        // The kinds of region files are checked before any file is opened (.gz set aside).
        {run_binscope({"reference-point", "-S", file("a.bw"), "-R", "x.gtf", "y.bed", "-o", file("m.gz")}),
         "[binscope] Loading 2 BED file(s) and 1 bigWig file(s)\n"
         "Error: Mixing GTF and BED inputs is not supported.\n"},
        {run_binscope({"reference-point", "-S", file("a.bw"), "-R", "x.gtf.gz", "y.bed", "-o", file("m.gz"), "-q"}),
         "Error: Mixing GTF and BED inputs is not supported.\n"},
        {run_binscope({"reference-point", "-S", file("a.bw"), "-R", file("empty.bed"), "-o", file("m.gz"), "-q"}),
         "Error: No regions parsed from input region file(s).\n"},
        {run({"--blackListFileName", file("black.bed")}),
         "[binscope] Loading 1 BED file(s) and 2 bigWig file(s)\n"
         "[binscope] Blacklist (1 intervals): kept 0/2 regions\nError: All regions filtered by blacklist.\n"},
        // A matrix that could never be held is refused before it is computed.
        {run({"-a", "1000000000000", "--binSize", "1", "-q"}),
         "Error: The matrix of 2 rows x 2000000001000 cols does not fit in this machine's memory\n"},
    };
    for (const auto& [result, err] : cases)
        EXPECT_EQ(std::tie(result.status, result.out, result.err), std::tuple(1, "", err));
    EXPECT_FALSE(fs::exists(file("m.gz")));
}

TEST_F(RunFixture, ProgressLinesInStageOrder) {
    write_file(file("black.bed"), "chr1\t6500\t6600\n");
    const ProcessResult r = run({"--blackListFileName", file("black.bed"), "--skipZeros", "-p", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(split(r.err, '\n'), (std::vector<std::string>{
                                      "[binscope] Loading 1 BED file(s) and 2 bigWig file(s)",
                                      "[binscope] Blacklist (1 intervals): kept 1/2 regions",
                                      "[binscope] Parsed 1 region(s) in 1 group(s)",
                                      "[binscope] Built matrix: 1 rows x 400 cols (0 dropped due to no data)",
                                      "[binscope] After --skipZeros: 1 row(s)",
                                      "[binscope] Wrote " + file("m.gz") + " (1 rows)",
                                  }));
    expect_matrix_reads_back(file("m.gz"));

    const ProcessResult quiet = run({"--quiet", "--outFileNameMatrix", file("values.txt"), "--outFileSortedRegions",
                                     file("sorted.bed"), "-p", "8"});
    ASSERT_EQ(quiet.status, 0) << quiet.err;
    EXPECT_EQ(quiet.err, "");
    EXPECT_TRUE(fs::exists(file("values.txt")));
    EXPECT_TRUE(fs::exists(file("sorted.bed")));

    // A file named twice is two samples.
    const ProcessResult three = run({"-S", file("a.bw")});
    EXPECT_NE(three.err.find("Built matrix: 2 rows x 600 cols"), std::string::npos) << three.err;
    expect_matrix_reads_back(file("m.gz"));
}

}  // namespace
}  // namespace binscope
