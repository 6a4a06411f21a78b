// matrix_test.cpp - the gzipped matrix file: header line and row lines.
#include "output/matrix.hpp"

#include <limits>

#include <gtest/gtest.h>

#include "support/layout_inputs.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

Params reference_point_params() {
    Params p = reference(RefPoint::TSS, 500, 1500);
    p.numberOfProcessors = 4;
    return p;
}

// The header line and the row lines of the written file.
std::pair<std::string, std::string> written(const Matrix& m, const std::vector<std::string>& labels,
                                            const Params& p) {
    TempDir dir;
    const std::string path = dir.file("matrix.gz");
    const Status status = write_matrix_file(path, m, labels, p);
    EXPECT_TRUE(status) << (status ? "" : status.error().message());
    const std::string text = binscope::testing::read_gzip_file(path);
    const std::size_t eol = text.find('\n') + 1;
    return {text.substr(0, eol), text.substr(eol)};
}

TEST(MatrixFile, HeaderOfAReferencePointRun) {
    Matrix m;
    m.cols = 2;
    m.region_set.groups = {"genes"};
    m.region_set.regions = {region({{100, 200}}, U'+', "chr1", 0, "r")};
    m.row_regions.assign(3, 0);
    m.values.assign(6, 1.0f);
    m.group_boundaries = {0, 3};
    EXPECT_EQ(written(m, {"a", "b"}, reference_point_params()).first,
              R"(@{"bin avg type":"mean","bin size":[10,10],"body":[0,0],"downstream":[1500,1500],)"
              R"("group_boundaries":[0,3],"group_labels":["genes"],"max threshold":null,"min threshold":null,)"
              R"("missing data as zero":false,"nan after end":false,"proc number":4,"ref point":["TSS","TSS"],)"
              R"("sample_boundaries":[0,200,400],"sample_labels":["a","b"],"scale":1.0,"skip zeros":false,)"
              R"("sort regions":"keep","sort using":"mean","unscaled 3 prime":[0,0],"unscaled 5 prime":[0,0],)"
              R"("upstream":[500,500],"verbose":false})"
              "\n");
}

TEST(MatrixFile, HeaderOfAnEmptyScaleRegionsRun) {
    Params p = scaled(100, 200, 1000, 50, 30, 20);
    p.averageTypeBins = AverageType::Std;
    p.minThreshold = 0.5;
    p.maxThreshold = 1e20;
    p.scale = std::numeric_limits<double>::infinity();
    p.missingDataAsZero = p.nanAfterEnd = p.skipZeros = p.verbose = true;
    p.sortRegions = "DESCEND";
    p.sortUsing = "Region_Length";
    Matrix m;
    m.cols = 69;
    m.region_set.groups = {"genes"};
    const auto [header, rows] = written(m, {"lab\\el\t"}, p);
    EXPECT_EQ(header,
              R"(@{"bin avg type":"std","bin size":[20],"body":[1000],"downstream":[200],)"
              R"("group_boundaries":[0,0],"group_labels":[],"max threshold":1e+20,"min threshold":0.5,)"
              R"("missing data as zero":true,"nan after end":true,"proc number":1,"ref point":[null],)"
              R"("sample_boundaries":[0,69],"sample_labels":["lab\\el\t"],"scale":null,"skip zeros":true,)"
              R"("sort regions":"DESCEND","sort using":"Region_Length","unscaled 3 prime":[30],)"
              R"("unscaled 5 prime":[50],"upstream":[100],"verbose":true})"
              "\n");
    EXPECT_EQ(rows, "");
}

TEST(MatrixFile, RowLines) {
    Matrix m;
    m.cols = 3;
    m.region_set.groups = {"one", "two\"", "unused"};
    m.row_regions = {1, 2, 3, 4};  // no row shows the first region
    m.region_set.regions = {region({{1, 2}}, U'.', "chr1", 0, "dropped"),
                            region({{100, 200}}, U'.', "chr1", 0, "plain"),
                            region({{100, 150}, {300, 350}, {-500, 600}}, U'-', "chr1", 1, "tab\tname"),
                            region({{-5, 10}}, U'+', "chr1", 1, "allnan"), region({{0, 1}}, U'+', "chr1", 1, "infs")};
    m.values = {1.0f, kNaN, 2.0f, 0.1f, 1e-7f, -0.0f, kNaN, kNaN, kNaN, kInf, 1.0f, -kInf};
    m.group_boundaries = {0, 1, 4};
    const auto [header, rows] = written(m, {"s"}, reference_point_params());
    EXPECT_NE(header.find(R"("group_labels":["one","two\""])"), std::string::npos) << header;
    EXPECT_EQ(rows,
              "chr1\t100\t200\tplain\t1.5\t.\t1\tnan\t2\n"
              "chr1\t100,300,-500\t150,350,600\ttab\tname\t0.03333337\t-\t0.1\t0.0000001\t-0\n"
              "chr1\t-5\t10\tallnan\tnan\t+\tnan\tnan\tnan\n"
              "chr1\t0\t1\tinfs\tnan\t+\tinf\t1\t-inf\n");

    m.cols = 0;  // six fields only
    m.values.clear();
    EXPECT_EQ(written(m, {}, reference_point_params()).second,
              "chr1\t100\t200\tplain\tnan\t.\nchr1\t100,300,-500\t150,350,600\ttab\tname\tnan\t-\n"
              "chr1\t-5\t10\tallnan\tnan\t+\nchr1\t0\t1\tinfs\tnan\t+\n");
}

}  // namespace
}  // namespace binscope
