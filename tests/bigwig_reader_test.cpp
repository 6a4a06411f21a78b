// bigwig_reader_test.cpp - the score source: chromosome tables and their
// open errors, per-thread reader caches and name matching.
#include <gtest/gtest.h>

#include <cmath>

#include "bigwig_reader.hpp"
#include "support/bigwig_writer.hpp"
#include "support/reference_row.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

TEST(AlternateChromName, SwapsTheChrPrefixAndTheMitochondrionNames) {
    const std::pair<const char*, const char*> cases[] = {
        {"chr1", "1"},   {"1", "chr1"}, {"chrM", "MT"},      {"MT", "chrM"}, {"M", "chrM"},
        {"chrMT", "MT"}, {"chr", ""},   {"Chr1", "chrChr1"}, {"", "chr"},    {"chrUn_x", "Un_x"},
    };
    for (auto [in, out] : cases) EXPECT_EQ(alternate_chrom_name(in), out) << in;
}

TEST(OpenChromTable, BuildsTheTableAndWrapsOpenErrors) {
    TempDir dir;
    write_bigwig(dir.path() / "a.bw", {{"chr1", 100}, {"chr2", 50}, {"chr1", 70}}, {});
    auto table = open_chrom_table(dir.file("a.bw"));
    ASSERT_TRUE(table.has_value());
    EXPECT_EQ(*table, (ChromLengthTable{{"chr1", 70}, {"chr2", 50}}));  // a repeated name keeps its last length

    auto missing = open_chrom_table(dir.file("none.bw"));
    ASSERT_FALSE(missing.has_value());
    EXPECT_EQ(missing.error().chain(),
              (std::vector<std::string>{"Opening " + dir.file("none.bw"), "opening bigwig " + dir.file("none.bw"),
                                        "No such file or directory (os error 2)"}));
}

// What a row's runs feed a bin: (value, count) pairs.
struct Collect {
    std::vector<std::pair<float, std::uint64_t>> runs;
    void add(float value, std::uint64_t count) { runs.emplace_back(value, count); }
};

TEST(ReaderCache, OpensOneReaderPerFileOnceAndReadsRowsThroughIt) {
    TempDir dir;
    write_bigwig(dir.path() / "a.bw", {{"chr1", 100}}, {bedgraph_section("chr1", {{0, 10, 1}})});
    write_file(dir.path() / "bad.bw", "not a bigwig at all, but long enough to hold a header.............");
    const std::vector<std::string> paths = {dir.file("a.bw"), dir.file("bad.bw"), dir.file("a.bw")};
    auto open = [](ReaderCache& cache, const std::vector<std::string>& p) {
        ::testing::internal::CaptureStderr();
        cache.open(p);
        return ::testing::internal::GetCapturedStderr();
    };

    ReaderCache cache;
    EXPECT_EQ(open(cache, paths), "Error when opening: \"" + dir.file("bad.bw") + "\"\n");
    EXPECT_TRUE(cache.is_open(0));
    EXPECT_FALSE(cache.is_open(1));
    EXPECT_TRUE(cache.is_open(2));
    EXPECT_FALSE(cache.is_open(3));

    // Positions 0..4 from base 8 on: two bases of value 1, then three without.
    std::vector<Stretch> stretches = {{0, 5, 8, Stretch::Mode::Sorted}};
    Collect got;
    EXPECT_TRUE(cache.read_row(2, "chr1", stretches, [&](RowRuns& runs) { runs.feed(0, 5, got); }));
    ASSERT_EQ(got.runs.size(), 2u);
    EXPECT_EQ(got.runs[0], (std::pair<float, std::uint64_t>(1.0f, 2)));
    EXPECT_TRUE(std::isnan(got.runs[1].first));
    EXPECT_EQ(got.runs[1].second, 3u);
    EXPECT_FALSE(cache.read_row(1, "chr1", stretches, [&](RowRuns&) { ADD_FAILURE(); }));

    // Same count: the open readers stay; another count opens every file again.
    EXPECT_EQ(open(cache, paths), "");
    EXPECT_EQ(open(cache, {dir.file("bad.bw")}), "Error when opening: \"" + dir.file("bad.bw") + "\"\n");
}

TEST(ResolveChrom, TriesTheNameItsAlternateAndTheAlternatesAlternate) {
    const ChromLengthTable table = {{"chrM", 16}, {"2", 20}, {"chr3", 30}};
    using Found = std::optional<std::pair<std::string, std::uint32_t>>;
    EXPECT_EQ(resolve_chrom(table, "chr3"), (Found{{"chr3", 30}}));
    EXPECT_EQ(resolve_chrom(table, "chr2"), (Found{{"2", 20}}));
    EXPECT_EQ(resolve_chrom(table, "chrMT"), (Found{{"chrM", 16}}));  // MT, then chrM
    EXPECT_EQ(resolve_chrom(table, "4"), Found{});
    EXPECT_EQ(resolve_chrom({}, "chr3"), Found{});
}

}  // namespace
}  // namespace binscope
