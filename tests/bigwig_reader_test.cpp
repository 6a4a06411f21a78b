// bigwig_reader_test.cpp - the score source: chromosome tables and their
// open errors, per-thread reader caches and name matching.
#include <gtest/gtest.h>

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

TEST(ReaderCache, OpensOneSlotPerFileOnceAndLeavesFailuresEmpty) {
    TempDir dir;
    write_bigwig(dir.path() / "a.bw", {{"chr1", 100}}, {bedgraph_section("chr1", {{0, 10, 1}})});
    write_file(dir.path() / "bad.bw", "not a bigwig at all, but long enough to hold a header.............");
    std::vector<std::string> paths = {dir.file("a.bw"), dir.file("bad.bw"), dir.file("a.bw")};

    ReaderCache cache;
    ::testing::internal::CaptureStderr();
    auto& slots = cache.readers(paths);
    ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(slots.size(), 3u);
    EXPECT_TRUE(slots[0].has_value());
    EXPECT_FALSE(slots[1].has_value());
    ASSERT_TRUE(slots[2].has_value());
    ASSERT_TRUE(testing::read_values(*slots[0], "chr1", 0, 5).has_value());

    // Same count: the open readers (and what they have loaded) stay.
    auto& again = cache.readers(paths);
    EXPECT_EQ(again[0]->stats().index_header_reads, 1u);

    auto& fewer = cache.readers({dir.file("a.bw")});
    ASSERT_EQ(fewer.size(), 1u);
    EXPECT_EQ(fewer[0]->stats().index_header_reads, 0u);
}

}  // namespace
}  // namespace binscope
