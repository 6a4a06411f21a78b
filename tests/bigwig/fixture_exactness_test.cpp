// fixture_exactness_test.cpp - every value of every listed interval of files
// written by independent writers.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <filesystem>

#include "bigwig/reader.hpp"
#include "bigwig_reader.hpp"
#include "support/reference_row.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

namespace fs = std::filesystem;
using namespace binscope::testing;

// The shipped copy, else the shared fixture; empty when neither exists.
fs::path locate(const std::string& name, const std::string& shared_dir) {
    if (fs::exists(test_data("bigwig/" + name))) return test_data("bigwig/" + name);
    if (fs::exists(shared_fixture(shared_dir + "/" + name))) return shared_fixture(shared_dir + "/" + name);
    return {};
}

struct Fixture {
    std::string bigwig;
    std::string tsv;
    std::string shared_dir;
    friend void PrintTo(const Fixture& f, std::ostream* os) { *os << f.bigwig; }
};

class FixtureExactness : public ::testing::TestWithParam<Fixture> {};

// Every line of the table is a query (chrom, start, end) and the value of
// each of its bases, "nan" where none; numbers must match bit for bit.
TEST_P(FixtureExactness, EveryListedValueMatches) {
    const Fixture& f = GetParam();
    fs::path bw = locate(f.bigwig, f.shared_dir);
    fs::path tsv = locate(f.tsv, f.shared_dir);
    if (bw.empty() || tsv.empty()) GTEST_SKIP() << f.bigwig << " is not available here";

    auto table = open_chrom_table(bw.string());
    auto reader = BigWigReader::open(bw.string());
    ASSERT_TRUE(table && reader) << f.bigwig;
    std::size_t queries = 0, values = 0;
    for (const std::string& line : split(read_file(tsv), '\n')) {
        const std::vector<std::string> fields = split(line, '\t');
        const std::int64_t start = std::stoll(fields.at(1)), end = std::stoll(fields.at(2));
        std::vector<float> got(static_cast<std::size_t>(end - start), 0.0f);
        if (auto it = table->find(fields[0]); it != table->end())
            interval_values(*reader, fields[0], it->second, start, end, got);
        else
            std::ranges::fill(got, std::nanf(""));
        ASSERT_EQ(fields.size() - 3, got.size()) << line.substr(0, 60);
        for (std::size_t i = 0; i < got.size(); ++i) {
            const std::string& text = fields[i + 3];
            float want = std::nanf("");
            if (text != "nan") {
                ASSERT_EQ(std::from_chars(text.data(), text.data() + text.size(), want).ec, std::errc()) << text;
            }
            const bool same = std::isnan(want) ? std::isnan(got[i])
                                               : std::bit_cast<std::uint32_t>(got[i]) == std::bit_cast<std::uint32_t>(want);
            ASSERT_TRUE(same) << f.bigwig << " " << fields[0] << ":" << start + std::int64_t(i) << ": got " << got[i]
                              << ", want " << text;
        }
        values += got.size();
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

}  // namespace
}  // namespace binscope
