// bed_reader_test.cpp - BED region files: groups, columns, BED12 blocks,
// error chains, hostile files and real annotation files.
#include "bed_reader.hpp"

#include <gtest/gtest.h>

#include "support/test_files.hpp"

namespace binscope {
namespace {

using testing::shared_fixture;
using testing::shared_fixtures_available;
using testing::TempDir;
using testing::test_data;
using testing::write_file;

using Chain = std::vector<std::string>;

// Reads one BED file written with content (named name).
Result<RegionSet> read_one(const TempDir& dir, const std::string& content, bool metagene = false,
                           const std::string& name = "a.bed") {
    write_file(dir.file(name), content);
    return read_regions({dir.file(name)}, metagene);
}

// The error chain of reading content, or an empty chain on success.
Chain read_error(const TempDir& dir, const std::string& content, bool metagene = false) {
    auto set = read_one(dir, content, metagene);
    return set ? Chain{} : set.error().chain();
}

TEST(BedReader, ColumnsAndDefaults) {
    TempDir dir;
    auto set = read_one(dir,
                        "chr1\t100\t200\n"
                        "chr2\t-5\t10\tname\t7.5\t+strand\textra\n"
                        "chr3\t1\t2\t\t\t-\r\r\n"
                        "chr4\t1\t2\tn\t0\t*\n");
    ASSERT_TRUE(set) << set.error().message();
    ASSERT_EQ(set->regions.size(), 4u);
    const Region& plain = set->regions[0];
    EXPECT_EQ(plain.chrom, "chr1");
    EXPECT_EQ(plain.blocks, (std::vector<Block>{{100, 200}}));
    EXPECT_EQ(plain.name, "chr1:100-200");
    EXPECT_EQ(plain.score, "0");
    EXPECT_EQ(plain.strand, U'.');
    EXPECT_EQ(set->regions[1].start(), -5);
    EXPECT_EQ(set->regions[1].name, "name");
    EXPECT_EQ(set->regions[1].score, "7.5");
    EXPECT_EQ(set->regions[1].strand, U'+');
    EXPECT_EQ(set->regions[2].name, "");
    EXPECT_EQ(set->regions[2].score, "");
    EXPECT_EQ(set->regions[2].strand, U'-');
    EXPECT_EQ(set->regions[3].strand, U'.');
}

TEST(BedReader, GroupsFromFilesAndHashLines) {
    TempDir dir;
    // A column header line opens a group; "genes" stays empty but counts.
    auto set = read_one(dir, "#chrom\tstart\tend\nchr1\t1\t2\n#\n#  \t\ntrack name=x\nbrowser position\n\nchr1\t3\t4\n");
    ASSERT_TRUE(set);
    EXPECT_EQ(set->groups, (std::vector<std::string>{"genes", "chrom\tstart\tend"}));
    ASSERT_EQ(set->regions.size(), 2u);
    EXPECT_EQ(set->regions[0].group, 1u);
    EXPECT_EQ(set->regions[1].group, 1u);

    // Several files: one group per file stem, plus the '#' groups inside.
    write_file(dir.file("x.bed"), "chr1\t1\t2\n# second \nchr1\t2\t3\n");
    write_file(dir.file("y.y.bed"), "chr1\t5\t6\n");
    write_file(dir.file("only_comments.bed"), "\n#\n");
    set = read_regions({dir.file("x.bed"), dir.file("only_comments.bed"), dir.file("y.y.bed")}, false);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->groups, (std::vector<std::string>{"x", "second", "only_comments", "y.y"}));
    std::vector<std::size_t> groups;
    for (const Region& r : set->regions) groups.push_back(r.group);
    EXPECT_EQ(groups, (std::vector<std::size_t>{0, 1, 3}));
}

TEST(BedReader, TrackAndBrowserNeedTheBlank) {
    TempDir dir;
    auto set = read_one(dir, "track\t1\t2\ntrackfoo\t1\t2\n");
    ASSERT_TRUE(set);
    ASSERT_EQ(set->regions.size(), 2u);
    EXPECT_EQ(set->regions[0].chrom, "track");
    EXPECT_EQ(read_error(dir, "chr1\t1\t2\ntrack\n"),
              (Chain{"parsing " + dir.file("a.bed") + " line 2: track", "BED line has fewer than 3 columns"}));
}

TEST(BedReader, BadLinesGiveTheFullChain) {
    TempDir dir;
    const std::string at = "parsing " + dir.file("a.bed") + " line 2: ";
    EXPECT_EQ(read_error(dir, "chr1\t1\t2\nchr1\t 5\t10\n"),
              (Chain{at + "chr1\t 5\t10", "bad start", "invalid digit found in string"}));
    EXPECT_EQ(read_error(dir, "#g\nchr1\t5\t\n"), (Chain{at + "chr1\t5\t", "bad end", "cannot parse integer from empty string"}));
    EXPECT_EQ(read_error(dir, "\nchr1\t5\t99999999999999999999\r\n"),
              (Chain{at + "chr1\t5\t99999999999999999999", "bad end", "number too large to fit in target type"}));
    EXPECT_EQ(read_error(dir, "\nchr1\t5\t5\n"), (Chain{at + "chr1\t5\t5", "BED end <= start (5 >= 5)"}));
    EXPECT_EQ(read_error(dir, "\nchr1 5 6\n"), (Chain{at + "chr1 5 6", "BED line has fewer than 3 columns"}));
}

TEST(BedReader, Bed12BlocksOnlyInMetageneMode) {
    TempDir dir;
    const std::string line = "chr1\t1000\t1100\tt\t0\t-\t1000\t1100\t0\t2\t10,20,\t0,80,\n";
    auto set = read_one(dir, line + "chr1\t5\t9\tshort\t0\t+\n", true);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->regions[0].blocks, (std::vector<Block>{{1000, 1010}, {1080, 1100}}));
    EXPECT_EQ(set->regions[1].blocks, (std::vector<Block>{{5, 9}}));
    set = read_one(dir, line, false);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->regions[0].blocks, (std::vector<Block>{{1000, 1100}}));

    // Blanks around pieces are allowed; blocks are kept as written.
    set = read_one(dir, "chr1\t0\t100\tt\t0\t+\t0\t0\t0\t2\t 5 , 5\t50, 0\n", true);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->regions[0].blocks, (std::vector<Block>{{50, 55}, {0, 5}}));

    const std::string head = "chr1\t0\t100\tt\t0\t+\t0\t0\t0\t2\t";
    EXPECT_EQ(read_error(dir, head + "10,,20\t0,5\n", true)[1], "bad blockSizes");
    EXPECT_EQ(read_error(dir, head + "10,,20\t0,5\n", true)[2], "cannot parse integer from empty string");
    EXPECT_EQ(read_error(dir, head + "10\tx\n", true)[1], "bad blockStarts");
    EXPECT_EQ(read_error(dir, head + "10,20\t0\n", true)[1], "blockSizes/blockStarts length mismatch");
    // Coordinates that would wrap around are refused, not wrapped.
    EXPECT_EQ(read_error(dir, "chr1\t9223372036854775000\t9223372036854775800\tt\t0\t+\t0\t0\t0\t1\t10\t9000\n", true)[1],
              "block 1 lies outside the 64-bit coordinate range");
}

TEST(BedReader, FileKindAndGroupNames) {
    EXPECT_TRUE(is_gtf_path("a/genes.GTF"));
    EXPECT_TRUE(is_gtf_path("x.gff3"));
    EXPECT_TRUE(is_gtf_path("x.Gff"));
    EXPECT_FALSE(is_gtf_path("genes.gtf.gz"));
    EXPECT_FALSE(is_gtf_path(".gtf"));
    EXPECT_FALSE(is_gtf_path("dir/.."));
    EXPECT_FALSE(is_gtf_path("x.gtf\xFF"));
    EXPECT_EQ(file_group_name("dir/a.b.bed", 1), "genes");
    EXPECT_EQ(file_group_name("dir/a.b.bed", 2), "a.b");
    EXPECT_EQ(file_group_name(".bed", 2), ".bed");
    EXPECT_EQ(file_group_name("dir/..", 2), "group");
    EXPECT_EQ(file_group_name("bad\xFF.bed", 2), "group");

    TempDir dir;
    auto mixed = read_regions({dir.file("missing.BED"), dir.file("missing.gtf")}, false);
    ASSERT_FALSE(mixed);
    EXPECT_EQ(mixed.error().chain(), Chain{"Mixing GTF and BED inputs is not supported."});
}

TEST(BedReader, HostileFiles) {
    TempDir dir;
    auto directory = read_regions({dir.path().string()}, false);
    ASSERT_FALSE(directory);
    EXPECT_EQ(directory.error().chain(),
              (Chain{"reading " + dir.path().string() + " line 1", "Is a directory (os error 21)"}));
    auto missing = read_regions({dir.file("none.bed")}, false);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().chain(),
              (Chain{"opening BED " + dir.file("none.bed"), "No such file or directory (os error 2)"}));

    EXPECT_EQ(read_error(dir, "chr1\t1\t2\nchr1\t3\xFE\t4\n"),
              (Chain{"reading " + dir.file("a.bed") + " line 2", "stream did not contain valid UTF-8"}));
    // A NUL byte is text: it ends up in the chromosome name, or is a bad digit.
    auto nul = read_one(dir, std::string("chr\0001\t1\t2\n", 10));
    ASSERT_TRUE(nul);
    EXPECT_EQ(nul->regions[0].chrom, std::string("chr\0001", 5));
    EXPECT_EQ(read_error(dir, std::string("chr1\t1\0\t2\n", 10))[2], "invalid digit found in string");

    auto empty = read_one(dir, "");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->regions.empty());
    EXPECT_EQ(empty->groups, std::vector<std::string>{"genes"});

    // A 10 MB line: one region with a 10 MB name.
    const std::string name(10 << 20, 'n');
    auto huge = read_one(dir, "chr1\t1\t2\t" + name);
    ASSERT_TRUE(huge);
    ASSERT_EQ(huge->regions.size(), 1u);
    EXPECT_EQ(huge->regions[0].name.size(), name.size());
}

TEST(BedReaderReal, CustomTrackExampleWithHeaderGroup) {
    auto set = read_regions({test_data("real/rtracklayer_test.bed").string()}, true);
    ASSERT_TRUE(set) << set.error().message();
    EXPECT_EQ(set->groups,
              (std::vector<std::string>{"genes", "#Example 5 from Custom Annotation Tracks User's Guide"}));
    ASSERT_EQ(set->regions.size(), 5u);
    EXPECT_EQ(set->regions[0].name, "Pos1");
    EXPECT_EQ(set->regions[0].group, 1u);
    EXPECT_EQ(set->regions[0].blocks,
              (std::vector<Block>{{127471196, 127471496}, {127471696, 127471896}, {127472263, 127472363}}));
    EXPECT_EQ(set->regions[4].strand, U'-');
    EXPECT_EQ(set->regions[4].score, "5");

    set = read_regions({test_data("real/rsamtools_junctions.bed").string()}, true);
    ASSERT_TRUE(set);
    ASSERT_EQ(set->regions.size(), 2u);
    EXPECT_EQ(set->regions[1].blocks, (std::vector<Block>{{349, 400}, {500, 550}}));
}

TEST(BedReaderReal, LargerGplFiles) {
    if (!shared_fixtures_available()) GTEST_SKIP() << "shared fixtures absent";
    auto known = read_regions({shared_fixture("real/bed/bedtools_knownGene.hg18.chr21.bed").string()}, true);
    ASSERT_TRUE(known) << known.error().message();
    ASSERT_EQ(known->regions.size(), 828u);
    std::size_t multi = 0;
    for (const Region& r : known->regions) multi += r.blocks.size() > 1;
    EXPECT_EQ(multi, 738u);

    auto peaks = read_regions({shared_fixture("real/bed/pybedtools_CTCF_Kc_Bushey_2009.bed").string(),
                               shared_fixture("real/bed/pybedtools_mm9.bed12").string()},
                              true);
    ASSERT_TRUE(peaks) << peaks.error().message();
    EXPECT_EQ(peaks->groups, (std::vector<std::string>{"pybedtools_CTCF_Kc_Bushey_2009", "pybedtools_mm9"}));
    ASSERT_EQ(peaks->regions.size(), 2264u + 5u);
    EXPECT_GT(peaks->regions.back().blocks.size(), 1u);
}

}  // namespace
}  // namespace binscope
