// missing_data_test.cpp - the executable's missing-data rules, one case per
// row of the README's table, each run without and with --missingDataAsZero.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/bigwig_writer.hpp"
#include "support/matrix_reads_back.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

struct Case {
    std::string rule;                 // the README table's row
    std::vector<std::string> scores;  // score files of the fixture
    std::string bed;
    std::vector<std::string> args;
    std::vector<std::string> rows, rows_as_zero;  // "name score: values" of every row
    std::string err = "";                         // a part of standard error, in both runs
};

// Every run is reference-point, TSS, 20 bases each side in bins of 10: four
// columns per score file, [TSS-20, TSS-10) first (on '+').
const std::vector<Case> kCases = {
    {"a base without a score", {"a.bw"}, "chr1\t100\t200\tgap\t0\t+\n", {},
     {"gap 2.6666667: 4 nan 2 2"}, {"gap 1.5: 2 0 2 2"}},
    {"a bin before the chromosome start", {"a.bw"}, "chr1\t5\t100\tstart\t0\t+\n", {},
     {"start 3: nan 3 3 3"}, {"start 1.875: 0 1.5 3 3"}},
    {"a bin past the chromosome end", {"a.bw"}, "chr1\t985\t1000\tplus\t0\t+\nchr1\t985\t1000\tminus\t0\t-\n", {},
     {"plus 2.3333333: 1 1 5 nan", "minus 4: nan nan 6 2"}, {"plus 1.75: 1 1 5 0", "minus 2: 0 0 6 2"}},
    {"a chromosome that a score file lacks", {"a.bw", "b.bw"}, "chr1\t100\t200\tgap\t0\t+\nchrM\t100\t200\tmito\t0\t+\n",
     {}, {"gap 1.4285715: 4 nan 2 2 0.5 0.5 0.5 0.5", "mito 7: 7 7 7 7 nan nan nan nan"},
     {"gap 1: 2 0 2 2 0.5 0.5 0.5 0.5", "mito 3.5: 7 7 7 7 0 0 0 0"}},
    {"a score file failing during the computation", {"broken.bw"}, "chr1\t60\t100\tbad\t0\t+\n", {},
     {"bad 2: nan nan 2 2"}, {"bad 1: 0 0 2 2"}},
    {"a row without any data", {"a.bw"}, "chrX\t100\t200\tnone\t0\t+\n", {},
     {"none nan: nan nan nan nan"}, {"none 0: 0 0 0 0"}, "(1 dropped due to no data)"},
    {"--skipZeros", {"a.bw"},
     "chr1\t100\t200\tgap\t0\t+\nchrX\t100\t200\tnone\t0\t+\nchr1\t300\t400\tzero\t0\t+\n"
     "chr1\t420\t500\tcancel\t0\t+\n",
     {"--skipZeros"}, {"gap 2.6666667: 4 nan 2 2"}, {"gap 1.5: 2 0 2 2"}, "After --skipZeros: 1 row(s)"},
    {"thresholds meeting NaN", {"a.bw"}, "chr1\t100\t200\tgap\t0\t+\nchrX\t100\t200\tnone\t0\t+\n",
     {"--minThreshold", "1"}, {"gap 2.6666667: 4 nan 2 2", "none nan: nan nan nan nan"}, {}},
    {"a NaN threshold", {"a.bw"}, "chr1\t100\t200\tgap\t0\t+\nchrX\t100\t200\tnone\t0\t+\n",
     {"--minThreshold", "nan", "--maxThreshold", "nan"}, {"gap 2.6666667: 4 nan 2 2", "none nan: nan nan nan nan"},
     {"gap 1.5: 2 0 2 2", "none 0: 0 0 0 0"}},
};

// The matrix file's rows as "name score: values".
std::vector<std::string> matrix_rows(const std::string& path) {
    std::vector<std::string> rows;
    const std::vector<std::string> lines = split(read_gzip_file(path), '\n');
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> fields = split(lines[i], '\t');
        std::string row = fields.at(3) + " " + fields.at(4) + ":";
        for (std::size_t f = 6; f < fields.size(); ++f) row += " " + fields[f];
        rows.push_back(row);
    }
    return rows;
}

class MissingData : public ::testing::Test {
protected:
    void SetUp() override {
        write_bigwig(dir_.path() / "a.bw", {{"chr1", 1000}, {"MT", 300}},
                     {bedgraph_section("chr1", {{0, 25, 3}, {85, 90, 4}, {100, 120, 2}, {300, 320, 0}, {400, 420, 2},
                                                {420, 440, -2}, {960, 985, 1}, {985, 990, 3}, {990, 1000, 6}}),
                      bedgraph_section("MT", {{0, 300, 7}})});
        write_bigwig(dir_.path() / "b.bw", {{"1", 1000}}, {bedgraph_section("1", {{0, 1000, 0.5f}})});
        // The block of [0, 50) is broken.
        write_bigwig(dir_.path() / "broken.bw", {{"chr1", 1000}},
                     {bedgraph_section("chr1", {{0, 50, 1}, {50, 100, 2}})},
                     {.items_per_block = 1, .breakage = BigWigBreak::BlockNotZlib});
    }

    ProcessResult run(const Case& c, bool as_zero) const {
        write_file(dir_.file("regions.bed"), c.bed);
        std::vector<std::string> args{"reference-point", "-b", "20", "-a", "20", "--binSize", "10", "-S"};
        for (const std::string& s : c.scores) args.push_back(dir_.file(s));
        args.insert(args.end(), {"-R", dir_.file("regions.bed"), "-o", dir_.file("m.gz")});
        args.insert(args.end(), c.args.begin(), c.args.end());
        if (as_zero) args.push_back("--missingDataAsZero");
        return run_binscope(args);
    }

    TempDir dir_;
};

TEST_F(MissingData, EveryRuleOfTheReadmeTable) {
    for (const Case& c : kCases) {
        for (const bool as_zero : {false, true}) {
            SCOPED_TRACE(c.rule + (as_zero ? " with --missingDataAsZero" : ""));
            const ProcessResult r = run(c, as_zero);
            ASSERT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(matrix_rows(dir_.file("m.gz")), as_zero ? c.rows_as_zero : c.rows);
            expect_matrix_reads_back(dir_.file("m.gz"));
            EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        }
    }
}

}  // namespace
}  // namespace binscope
