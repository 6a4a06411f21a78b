// matrix_test.cpp - the gzipped matrix file: header line and row lines.
#include "output/matrix.hpp"

#include <cmath>
#include <limits>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "support/test_files.hpp"

namespace binscope {
namespace {

using binscope::testing::read_gzip_file;
using binscope::testing::TempDir;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

Region region(std::string chrom, std::vector<Block> blocks, std::string name, std::size_t group, Strand strand) {
    Region r;
    r.chrom = std::move(chrom);
    r.blocks = std::move(blocks);
    r.name = std::move(name);
    r.group = group;
    r.strand = strand;
    return r;
}

Params reference_point_params() {
    Params p;
    p.scoreFileName = {"a.bw", "b.bw"};
    p.beforeRegionStartLength = 500;
    p.afterRegionStartLength = 1500;
    p.binSize = 10;
    p.referencePoint = RefPoint::TSS;
    p.numberOfProcessors = 4;
    return p;
}

std::string write_and_read(const Matrix& m, const std::vector<std::string>& labels, const Params& p) {
    TempDir dir;
    const std::string path = dir.file("matrix.gz");
    const Status status = write_matrix_file(path, m, labels, p);
    EXPECT_TRUE(status) << (status ? "" : status.error().message());
    return read_gzip_file(path);
}

std::string first_line(const std::string& text) { return text.substr(0, text.find('\n') + 1); }

TEST(MatrixFile, HeaderOfAReferencePointRun) {
    Matrix m;
    m.cols = 2;
    m.group_names = {"genes"};
    for (int i = 0; i < 3; ++i) {
        m.regions.push_back(region("chr1", {{100, 200}}, "r", 0, U'+'));
        m.values.insert(m.values.end(), {1.0f, 2.0f});
    }
    m.group_boundaries = {0, 3};
    const std::string text = write_and_read(m, {"a", "b"}, reference_point_params());
    EXPECT_EQ(first_line(text),
              R"(@{"bin avg type":"mean","bin size":[10,10],"body":[0,0],"downstream":[1500,1500],)"
              R"("group_boundaries":[0,3],"group_labels":["genes"],"max threshold":null,"min threshold":null,)"
              R"("missing data as zero":false,"nan after end":false,"proc number":4,"ref point":["TSS","TSS"],)"
              R"("sample_boundaries":[0,200,400],"sample_labels":["a","b"],"scale":1.0,"skip zeros":false,)"
              R"("sort regions":"keep","sort using":"mean","unscaled 3 prime":[0,0],"unscaled 5 prime":[0,0],)"
              R"("upstream":[500,500],"verbose":false})"
              "\n");
}

TEST(MatrixFile, HeaderOfAScaleRegionsRunWithEveryOptionSet) {
    Params p;
    p.scoreFileName = {"x.bw"};
    p.beforeRegionStartLength = 100;
    p.afterRegionStartLength = 200;
    p.regionBodyLength = 1000;
    p.unscaled5prime = 50;
    p.unscaled3prime = 30;
    p.binSize = 20;
    p.averageTypeBins = AverageType::Std;
    p.minThreshold = 0.5;
    p.maxThreshold = 1e20;
    p.scale = std::numeric_limits<double>::infinity();
    p.missingDataAsZero = p.nanAfterEnd = p.skipZeros = p.verbose = true;
    p.sortRegions = "DESCEND";
    p.sortUsing = "Region_Length";
    p.numberOfProcessors = 1;
    Matrix m;
    m.cols = 69;
    m.group_names = {"g\"1\t"};
    const std::string text = write_and_read(m, {"lab\\el"}, p);
    EXPECT_EQ(text,
              R"(@{"bin avg type":"std","bin size":[20],"body":[1000],"downstream":[200],)"
              R"("group_boundaries":[0,0],"group_labels":[],"max threshold":1e+20,"min threshold":0.5,)"
              R"("missing data as zero":true,"nan after end":true,"proc number":1,"ref point":[null],)"
              R"("sample_boundaries":[0,69],"sample_labels":["lab\\el"],"scale":null,"skip zeros":true,)"
              R"("sort regions":"DESCEND","sort using":"Region_Length","unscaled 3 prime":[30],"unscaled 5 prime":[50],)"
              R"("upstream":[100],"verbose":true})"
              "\n");
}

TEST(MatrixFile, RowLines) {
    Matrix m;
    m.cols = 3;
    m.group_names = {"one", "two\tthree", "unused"};
    m.regions = {
        region("chr1", {{100, 200}}, "plain", 0, U'.'),
        region("chr2", {{100, 150}, {300, 350}, {500, 600}}, "name with\ttab", 1, U'-'),
        region("chrX", {{-5, 10}}, "allnan", 1, U'+'),
        region("chrY", {{0, 1}}, "mix", 1, U'+'),
    };
    m.values = {1.0f, kNaN, 2.0f,                             //
                0.1f, 1e-7f, -0.0f,                           //
                kNaN, kNaN, kNaN,                             //
                std::numeric_limits<float>::infinity(), 1.0f, -std::numeric_limits<float>::infinity()};
    m.group_boundaries = {0, 1, 4};
    const std::string text = write_and_read(m, {"s"}, reference_point_params());
    const std::string header = first_line(text);
    EXPECT_NE(header.find(R"("group_labels":["one","two\tthree"])"), std::string::npos) << header;
    EXPECT_EQ(text.substr(header.size()),
              "chr1\t100\t200\tplain\t1.5\t.\t1\tnan\t2\n"
              "chr2\t100,300,500\t150,350,600\tname with\ttab\t0.03333337\t-\t0.1\t0.0000001\t-0\n"
              "chrX\t-5\t10\tallnan\tnan\t+\tnan\tnan\tnan\n"
              "chrY\t0\t1\tmix\tnan\t+\tinf\t1\t-inf\n");
}

TEST(MatrixFile, ZeroColumnsGiveSixFields) {
    Matrix m;
    m.group_names = {"genes"};
    m.regions = {region("chr1", {{1, 2}}, "a", 0, U'+')};
    m.group_boundaries = {0, 1};
    const std::string text = write_and_read(m, {}, reference_point_params());
    EXPECT_EQ(text.substr(first_line(text).size()), "chr1\t1\t2\ta\tnan\t+\n");
}

// Enough rows for several batches: the text must come back whole and in order.
TEST(MatrixFile, ManyRowsInOrder) {
    Matrix m;
    m.cols = 50;
    m.group_names = {"genes"};
    std::string expected_rows;
    for (int r = 0; r < 3000; ++r) {
        m.regions.push_back(region("chr1", {{r, r + 1}}, fmt::format("n{}", r), 0, U'+'));
        expected_rows += fmt::format("chr1\t{}\t{}\tn{}\t{}.25\t+", r, r + 1, r, r);
        for (int c = 0; c < 50; ++c) {
            m.values.push_back(static_cast<float>(r) + 0.25f);
            expected_rows += fmt::format("\t{}.25", r);
        }
        expected_rows += '\n';
    }
    m.group_boundaries = {0, 3000};
    const std::string text = write_and_read(m, {"s"}, reference_point_params());
    EXPECT_EQ(text.substr(first_line(text).size()), expected_rows);
}

TEST(MatrixFile, WriteErrorsAreTheSystemMessage) {
    Matrix m;
    m.group_names = {"genes"};
    auto status = write_matrix_file("/dev/full", m, {"a"}, reference_point_params());
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().chain(), std::vector<std::string>{"No space left on device (os error 28)"});
    TempDir dir;
    status = write_matrix_file(dir.file("missing/m.gz"), m, {"a"}, reference_point_params());
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().chain(), std::vector<std::string>{"No such file or directory (os error 2)"});
}

}  // namespace
}  // namespace binscope
