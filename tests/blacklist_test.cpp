// blacklist_test.cpp - loading, merging and applying blacklisted intervals.
#include "blacklist.hpp"

#include <gtest/gtest.h>

#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

using Chain = std::vector<std::string>;

Region region(const std::string& chrom, std::vector<Block> blocks) {
    return {.chrom = chrom, .blocks = blocks, .name = chrom + ":" + std::to_string(blocks.front().start), .score = {}};
}

// Names of the regions that survive the blacklist.
std::vector<std::string> kept_names(const std::vector<Region>& regions, const Blacklist& blacklist) {
    RegionSet set;
    set.regions = regions;
    set.groups = {"genes"};
    std::vector<std::string> names;
    for (const Region& r : filter_regions(set, blacklist)) names.emplace_back(r.name.view());
    return names;
}

TEST(Blacklist, LoadsSortsAndMerges) {
    TempDir dir;
    write_file(dir.file("bl.bed"),
               "track\n#comment\nbrowserx\n\nchr1\t10\t20\textra\r\n"
               "chr1\t0\t10\nchr1\t100\t200\nchr1\t150\t160\nchr1\t5\t5\nchr1\t9\nchr2\t-5\t3\nshort\n");
    auto blacklist = load_blacklist(dir.file("bl.bed"));
    ASSERT_TRUE(blacklist) << blacklist.error().message();
    EXPECT_EQ(blacklist->interval_count(), 3u);
    EXPECT_EQ(blacklist->intervals.at("chr1"), (std::vector<Block>{{0, 20}, {100, 200}}));
    EXPECT_EQ(blacklist->intervals.at("chr2"), (std::vector<Block>{{-5, 3}}));
}

TEST(Blacklist, ErrorChains) {
    TempDir dir;
    const std::string path = dir.file("bl.bed");
    auto error_of = [&](const std::string& content) {
        write_file(path, content);
        auto loaded = load_blacklist(path);
        return loaded ? Chain{} : loaded.error().chain();
    };
    EXPECT_EQ(error_of("chr1\tabc\t10\n"),
              (Chain{"Loading blacklist " + path, "bad blacklist start", "invalid digit found in string"}));
    EXPECT_EQ(error_of("chr1\t1\t\n"),
              (Chain{"Loading blacklist " + path, "bad blacklist end", "cannot parse integer from empty string"}));
    EXPECT_EQ(error_of("chr1\t1\t2\n\xFF\n"),
              (Chain{"Loading blacklist " + path, "blacklist line 2", "stream did not contain valid UTF-8"}));
    auto missing = load_blacklist(dir.file("none.bed"));
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().chain(), (Chain{"Loading blacklist " + dir.file("none.bed"),
                                              "opening blacklist " + dir.file("none.bed"),
                                              "No such file or directory (os error 2)"}));
}

TEST(Blacklist, FiltersOverlappingBlocksOnly) {
    Blacklist blacklist;
    blacklist.intervals["chr1"] = {{100, 200}, {400, 500}};
    blacklist.intervals["X"] = {{0, 1000}};
    blacklist.intervals["chrX"] = {{5000, 6000}};
    const std::vector<Region> regions = {
        region("chr1", {{200, 300}}),             // touches the end: kept
        region("chr1", {{199, 300}}),             // dropped
        region("chr1", {{50, 100}}),              // touches the start: kept
        region("chr1", {{300, 350}}),             // between intervals: kept
        region("chr1", {{0, 10}, {450, 460}}),    // second block inside: dropped
        region("chr1", {{210, 220}, {600, 700}}),  // interval in the intron: kept
        region("1", {{150, 160}}),                // prefix toggled: dropped
        region("chrX", {{10, 20}}),               // only the chrX list applies: kept
        region("chr2", {{0, 1000}}),              // no list: kept
    };
    EXPECT_EQ(kept_names(regions, blacklist),
              (std::vector<std::string>{"chr1:200", "chr1:50", "chr1:300", "chr1:210", "chrX:10", "chr2:0"}));

    Blacklist by_number;
    by_number.intervals["1"] = {{0, 10}};
    EXPECT_TRUE(kept_names({region("chr1", {{5, 6}})}, by_number).empty());
    EXPECT_EQ(kept_names({region("chr1", {{5, 6}})}, Blacklist{}).size(), 1u);
}

}  // namespace
}  // namespace binscope
