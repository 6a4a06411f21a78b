// fixture_exactness_test.cpp - every value of every listed interval of files
// written by independent writers, and the refusal of non-bigWig files.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bigwig_reader.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

namespace fs = std::filesystem;
using testing::shared_fixture;
using testing::test_data;

// The shipped copy, else the shared fixture; empty when neither exists.
fs::path locate(const std::string& name, const std::string& shared_dir) {
    if (fs::exists(test_data("bigwig/" + name))) return test_data("bigwig/" + name);
    if (fs::exists(shared_fixture(shared_dir + "/" + name))) return shared_fixture(shared_dir + "/" + name);
    return {};
}

bool same_float(float a, float b) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct Fixture {
    std::string bigwig;
    std::string tsv;
    std::string shared_dir;
    friend void PrintTo(const Fixture& f, std::ostream* os) { *os << f.bigwig; }
};

class FixtureExactness : public ::testing::TestWithParam<Fixture> {};

TEST_P(FixtureExactness, EveryListedValueMatches) {
    const Fixture& f = GetParam();
    fs::path bw = locate(f.bigwig, f.shared_dir);
    fs::path tsv = locate(f.tsv, f.shared_dir);
    if (bw.empty() || tsv.empty()) GTEST_SKIP() << f.bigwig << " is not available here";

    auto table = open_chrom_table(bw.string());
    ASSERT_TRUE(table.has_value()) << f.bigwig;
    auto reader = BigWigReader::open(bw.string());
    ASSERT_TRUE(reader.has_value());

    std::ifstream in(tsv);
    std::string line;
    std::size_t queries = 0, values = 0;
    std::vector<float> got;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string chrom, field;
        std::int64_t start = 0, end = 0;
        std::getline(fields, chrom, '\t');
        std::getline(fields, field, '\t');
        start = std::stoll(field);
        std::getline(fields, field, '\t');
        end = std::stoll(field);
        got.assign(static_cast<std::size_t>(end - start), 0.0f);
        if (auto it = table->find(chrom); it != table->end())
            interval_values(*reader, chrom, it->second, start, end, got);
        else
            std::fill(got.begin(), got.end(), std::nanf(""));

        std::size_t i = 0;
        while (std::getline(fields, field, '\t')) {
            ASSERT_LT(i, got.size()) << line.substr(0, 60);
            float want = 0;
            if (field == "nan") {
                want = std::nanf("");
            } else {
                auto [p, ec] = std::from_chars(field.data(), field.data() + field.size(), want);
                ASSERT_EQ(ec, std::errc()) << field;
            }
            ASSERT_TRUE(same_float(got[i], want))
                << f.bigwig << " " << chrom << ":" << start << "-" << end << " base " << start + std::int64_t(i)
                << ": got " << got[i] << ", want " << field;
            ++i;
            ++values;
        }
        ASSERT_EQ(i, got.size()) << line.substr(0, 60);
        ++queries;
    }
    EXPECT_GT(queries, 10u);
    EXPECT_GT(values, 1000u);
}

INSTANTIATE_TEST_SUITE_P(
    IndependentWriter, FixtureExactness,
    ::testing::Values(Fixture{"ext_bedgraph.bw", "ext_bedgraph.tsv", "external"},
                      Fixture{"ext_bedgraph_uncompressed.bw", "ext_bedgraph.tsv", "external"},
                      Fixture{"ext_fixedstep.bw", "ext_fixedstep.tsv", "external"},
                      Fixture{"ext_fixedstep_uncompressed.bw", "ext_fixedstep.tsv", "external"},
                      Fixture{"ext_variablestep.bw", "ext_variablestep.tsv", "external"},
                      Fixture{"ext_variablestep_uncompressed.bw", "ext_variablestep.tsv", "external"},
                      Fixture{"ext_many_blocks.bw", "ext_many_blocks.tsv", "external"},
                      Fixture{"ext_many_chroms.bw", "ext_many_chroms.tsv", "external"},
                      Fixture{"ext_nochr.bw", "ext_nochr.tsv", "external"},
                      Fixture{"gviz_test.bw", "gviz_test.tsv", "real/bigwig"},
                      Fixture{"rtracklayer_variableStep.bw", "rtracklayer_variableStep.tsv", "real/bigwig"},
                      Fixture{"purecn_ex2_mappability.bigWig", "purecn_ex2_mappability.tsv", "real/bigwig"},
                      Fixture{"megadepth_test.bam.all.bw", "megadepth_test.bam.all.tsv", "real/bigwig"}),
    [](const auto& info) {
        std::string name = info.param.bigwig.substr(0, info.param.bigwig.find('.'));
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return name;
    });

TEST(FixtureRefusals, BigBedAndEmptyFilesAreRefusedWithTheirErrors) {
    fs::path bb = locate("rtracklayer_test.bb", "real/bigwig");
    fs::path empty = locate("rtracklayer_bedGraphData.bw", "real/bigwig");
    if (bb.empty() || empty.empty()) GTEST_SKIP() << "fixtures not available";

    ::testing::internal::CaptureStderr();
    auto r = BigWigReader::open(bb.string());
    std::string err = ::testing::internal::GetCapturedStderr();
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().message(), "NotABigWig");
    EXPECT_EQ(err, "Error when opening: \"" + bb.string() + "\"\n");

    ::testing::internal::CaptureStderr();
    r = BigWigReader::open(empty.string());
    err = ::testing::internal::GetCapturedStderr();
    ASSERT_FALSE(r.has_value());
    EXPECT_EQ(r.error().message(), "failed to fill whole buffer");
    EXPECT_EQ(err, "Error when opening: \"" + empty.string() + "\"\n");
}

}  // namespace
}  // namespace binscope
