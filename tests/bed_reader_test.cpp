// bed_reader_test.cpp - BED region files: groups, columns, BED12 blocks,
// error chains, hostile files and real annotation files.
#include "bed_reader.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "support/region_text.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using testing::region_text;
using testing::TempDir;
using testing::test_data;
using testing::write_file;

using Chain = std::vector<std::string>;

// Reads content as the single BED file a.bed.
Result<RegionSet> read_one(const TempDir& dir, const std::string& content, bool metagene = false) {
    write_file(dir.file("a.bed"), content);
    return read_regions({dir.file("a.bed")}, metagene);
}

Chain read_error(const TempDir& dir, const std::string& content, bool metagene = false) {
    auto set = read_one(dir, content, metagene);
    return set ? Chain{} : set.error().chain();
}

TEST(BedReader, ColumnsAndDefaults) {
    TempDir dir;
    const std::string text = "chr1\t100\t200\nchr2\t-5\t10\tname\t7.5\t+strand\textra\nchr3\t1\t2\t\t\t*\r\r\n";
    EXPECT_EQ(region_text(read_one(dir, text)),
              "[genes]\nchr1 [100,200) chr1:100-200 0 0 .\nchr2 [-5,10) name 7.5 0 +\nchr3 [1,2)   0 .\n");
}

TEST(BedReader, GroupsTrackLinesAndFileNames) {
    TempDir dir;
    // A column header line opens a group; "genes" stays empty but counts.
    const std::string text = "#chrom\tstart\tend\nchr1\t1\t2\n#\n# \xC2\xA0\ntrack x\nbrowser y\n\ntrack\t3\t4\n";
    EXPECT_EQ(region_text(read_one(dir, text)),
              "[genes]\n[chrom\tstart\tend]\nchr1 [1,2) chr1:1-2 0 1 .\ntrack [3,4) track:3-4 0 1 .\n");

    write_file(dir.file("x.bed"), "chr1\t1\t2\n# second \nchr1\t2\t3\n");
    write_file(dir.file("y.y.bed"), "chr1\t5\t6\n");
    write_file(dir.file(".bed"), "\n#\n");
    EXPECT_EQ(region_text(read_regions({dir.file("x.bed"), dir.file(".bed"), dir.file("y.y.bed")}, false)),
              "[x]\n[second]\n[.bed]\n[y.y]\nchr1 [1,2) chr1:1-2 0 0 .\nchr1 [2,3) chr1:2-3 0 1 .\n"
              "chr1 [5,6) chr1:5-6 0 3 .\n");

    EXPECT_EQ(file_group_name("dir/..", 2), "group");
    EXPECT_EQ(file_group_name("bad\xFF.bed", 2), "group");
    EXPECT_TRUE(is_gtf_path("a/genes.GTF") && is_gtf_path("x.gff3") && is_gtf_path("x.Gff"));
    EXPECT_FALSE(is_gtf_path(".gtf") || is_gtf_path("x.gtf/..") || is_gtf_path("x.gtf\xFF"));
    auto mixed = read_regions({dir.file("missing.BED"), dir.file("missing.gtf")}, false);
    EXPECT_EQ(mixed.error().chain(), Chain{"Mixing GTF and BED inputs is not supported."});
}

TEST(BedReader, BadLinesGiveTheFullChain) {
    TempDir dir;
    const std::string at = "parsing " + dir.file("a.bed") + " line 2: ";
    EXPECT_EQ(read_error(dir, "chr1\t1\t2\nchr1\t 5\t10\n"),
              (Chain{at + "chr1\t 5\t10", "bad start", "invalid digit found in string"}));
    EXPECT_EQ(read_error(dir, "#g\nchr1\t5\t\n"), (Chain{at + "chr1\t5\t", "bad end", "cannot parse integer from empty string"}));
    EXPECT_EQ(read_error(dir, "\nchr1\t5\t5\r\n"), (Chain{at + "chr1\t5\t5", "BED end <= start (5 >= 5)"}));
    EXPECT_EQ(read_error(dir, "\ntrack\n"), (Chain{at + "track", "BED line has fewer than 3 columns"}));
}

TEST(BedReader, Bed12BlocksOnlyInMetageneMode) {
    TempDir dir;
    const std::string line = "chr1\t1000\t1100\tt\t0\t-\t1000\t1100\t0\t2\t10,20,\t0,80,\n";
    auto set = read_one(dir, line + "chr1\t5\t9\tshort\t0\t+\n", true);
    ASSERT_TRUE(set);
    EXPECT_EQ(set->regions[0].blocks, (std::vector<Block>{{1000, 1010}, {1080, 1100}}));
    EXPECT_EQ(set->regions[1].blocks, (std::vector<Block>{{5, 9}}));
    EXPECT_EQ(read_one(dir, line, false)->regions[0].blocks, (std::vector<Block>{{1000, 1100}}));
    // Blanks around pieces are allowed; blocks stay as written.
    set = read_one(dir, "chr1\t0\t100\tt\t0\t+\t0\t0\t0\t2\t 5 , 5\t50, 0\n", true);
    EXPECT_EQ(set->regions[0].blocks, (std::vector<Block>{{50, 55}, {0, 5}}));

    const std::string head = "chr1\t0\t100\tt\t0\t+\t0\t0\t0\t2\t";
    EXPECT_EQ(read_error(dir, head + "10,,20\t0,5\n", true),
              (Chain{"parsing " + dir.file("a.bed") + " line 1: " + head + "10,,20\t0,5", "bad blockSizes",
                     "cannot parse integer from empty string"}));
    EXPECT_EQ(read_error(dir, head + "10\tx\n", true)[1], "bad blockStarts");
    EXPECT_EQ(read_error(dir, head + "10,20\t0\n", true)[1], "blockSizes/blockStarts length mismatch");
    // Coordinates that would wrap around are refused.
    EXPECT_EQ(read_error(dir, "c\t9223372036854775000\t9223372036854775800\tt\t0\t+\t0\t0\t0\t1\t10\t900\n", true)[1],
              "block 1 lies outside the 64-bit coordinate range");
}

TEST(BedReader, HostileFiles) {
    TempDir dir;
    EXPECT_EQ(read_regions({dir.path().string()}, false).error().chain(),
              (Chain{"reading " + dir.path().string() + " line 1", "Is a directory (os error 21)"}));
    EXPECT_EQ(read_regions({dir.file("none.bed")}, false).error().chain(),
              (Chain{"opening BED " + dir.file("none.bed"), "No such file or directory (os error 2)"}));
    // A NUL byte is text: part of the chromosome name, or a bad digit.
    EXPECT_EQ(read_one(dir, std::string("chr\0001\t1\t2\n", 10))->regions[0].chrom, std::string("chr\0001", 5));
    EXPECT_EQ(read_error(dir, std::string("chr1\t1\0\t2\n", 10)).at(2), "invalid digit found in string");
    EXPECT_EQ(region_text(read_one(dir, "")), "[genes]\n");
}

// Regions are copied (blacklist), moved (into the matrix) and their blocks
// appended (transcript merging): every copy keeps its own blocks and texts,
// across the switch from the one block held in place to the heap.
TEST(RegionFields, CopiesMovesAndGrowthKeepTheirOwnValues) {
    Region grown;
    std::vector<Region> copies;  // copies[n] taken at n blocks
    std::vector<Block> expected;
    for (std::int64_t i = 0; i < 6; ++i) {
        copies.push_back(grown);
        grown.blocks.push_back({i, i + 1});
        expected.push_back({i, i + 1});
        ASSERT_EQ(grown.blocks, expected);
    }
    for (std::size_t n = 0; n < copies.size(); ++n)
        EXPECT_EQ(copies[n].blocks, std::vector<Block>(expected.begin(), expected.begin() + static_cast<long>(n)));
    std::vector<Block> twice = expected;
    twice.insert(twice.end(), expected.begin(), expected.end());
    grown.blocks.append(grown.blocks.data(), grown.blocks.size());  // from its own room, while it grows
    EXPECT_EQ(grown.blocks, twice);

    const std::vector<std::string> scores{"", "1234567", "12345678", "a score far longer than a pointer"};
    RegionSet moved;
    {
        RegionSet set;
        for (const std::string& score : scores) set.regions.push_back(Region{"chr" + score, {{0, 1}}, "n", score, 0, U'+'});
        moved = std::move(set);
    }
    Region copy = moved.regions[3];
    copy.score = "0";
    copy.chrom = "chrY";
    for (std::size_t i = 0; i < scores.size(); ++i) {
        EXPECT_EQ(moved.regions[i].score, scores[i]);
        EXPECT_EQ(moved.regions[i].chrom, "chr" + scores[i]);
    }
    EXPECT_EQ(moved.regions[0].chrom, ChromName(std::string("chr")));
    EXPECT_FALSE(moved.regions[1].chrom == moved.regions[2].chrom);
}

TEST(BedReaderReal, CustomTrackAndJunctions) {
    EXPECT_EQ(region_text(read_regions({test_data("real/rtracklayer_test.bed").string()}, true)),
              "[genes]\n[#Example 5 from Custom Annotation Tracks User's Guide]\n"
              "chr7 [127471196,127471496) [127471696,127471896) [127472263,127472363) Pos1 0 1 +\n"
              "chr7 [127472363,127472613) [127473030,127473530) Pos2 2 1 +\n"
              "chr7 [127473530,127474697) Neg1 0 1 -\nchr9 [127474697,127475864) Pos3 5 1 +\n"
              "chr9 [127475864,127477031) Neg2 5 1 -\n");

    auto set = read_regions({test_data("real/rsamtools_junctions.bed").string()}, true);
    ASSERT_TRUE(set);
    ASSERT_EQ(set->regions.size(), 2u);
    EXPECT_EQ(set->regions[1].blocks, (std::vector<Block>{{349, 400}, {500, 550}}));
}

// Writes text as a gzip file of `members` members of about equal size.
void write_gzip(const std::string& path, const std::string& text, std::size_t members) {
    const std::size_t step = text.size() / members + 1;
    for (std::size_t at = 0; at < text.size() || at == 0; at += step) {
        gzFile out = gzopen(path.c_str(), at == 0 ? "wb" : "ab");
        ASSERT_TRUE(out);
        const std::string part = text.substr(at, step);
        ASSERT_EQ(gzwrite(out, part.data(), static_cast<unsigned>(part.size())), static_cast<int>(part.size()));
        gzclose(out);
    }
}

TEST(CompressedRegionFiles, ReadAsTheirTextWithGzSetAside) {
    TempDir dir;
    const std::vector<std::vector<std::string>> runs = {
        {"real/rtracklayer_test.bed", "real/rsamtools_junctions.bed"},
        {"real/rtracklayer_test.gtf", "real/kallisto_transcripts.gtf"},
        {"real/genomicfeatures_dmel-1000-r5.11.filtered.gff"},
    };
    for (const auto& files : runs) {
        std::vector<std::string> plain, packed;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const std::string name = test_data(files[i]).filename().string();
            plain.push_back(test_data(files[i]).string());
            packed.push_back(dir.file(name + ".GZ"));
            // One member, several, and many small ones as block-compressed files have.
            write_gzip(packed.back(), testing::read_file(plain.back()), i == 0 ? 1 + files.size() : 1000);
        }
        const std::string want = region_text(read_regions(plain, true));
        EXPECT_TRUE(want.starts_with("[")) << want;
        EXPECT_EQ(region_text(read_regions(packed, true)), want) << files[0];
    }

    // Cut short or corrupted: the file name and the decompressor's reason.
    const std::string bytes = testing::read_file(dir.file("rtracklayer_test.gtf.GZ"));
    write_file(dir.file("cut.gtf.gz"), bytes.substr(0, bytes.size() / 2));
    auto cut = read_regions({dir.file("cut.gtf.gz")}, false);
    ASSERT_FALSE(cut);
    EXPECT_NE(cut.error().message().find("cut.gtf.gz"), std::string::npos);
    EXPECT_EQ(cut.error().chain().back(), "gzip data ends before its last member does");
    std::string broken = bytes;
    for (std::size_t i = 20; i < 40; ++i) broken[i] = static_cast<char>(0xFF);
    write_file(dir.file("broken.gtf.gz"), broken);
    auto bad = read_regions({dir.file("broken.gtf.gz")}, false);
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().chain().back().rfind("gzip data is corrupt: ", 0), 0u) << bad.error().chain().back();
}

// Suspected fault: the decompressor taking in a file's last byte while
// output is still pending, read as "cut short". It cannot happen: a member
// ends in its 8-byte trailer, which is taken in only once all of its output
// is out. Highly compressible files of many sizes put the end of the input
// at many points of the reader's output buffer.
TEST(CompressedRegionFiles, OfHighlyCompressibleTextAreReadWholeAtEverySize) {
    TempDir dir;
    const std::string line = "chr1\t100\t200\n";
    std::vector<std::size_t> counts;
    for (std::size_t n = 1; n < 3000; n += 37) counts.push_back(n);
    for (std::size_t n : {630u, 631u, 5042u, 100000u}) counts.push_back(n);
    for (const char* mode : {"wb1", "wb9"}) {
        for (std::size_t count : counts) {
            SCOPED_TRACE(std::string(mode) + " " + std::to_string(count));
            std::string text;
            text.reserve(line.size() * count);
            for (std::size_t i = 0; i < count; ++i) text += line;
            const std::string path = dir.file("same.bed.gz");
            gzFile out = gzopen(path.c_str(), mode);
            ASSERT_TRUE(out);
            ASSERT_EQ(gzwrite(out, text.data(), static_cast<unsigned>(text.size())), static_cast<int>(text.size()));
            ASSERT_EQ(gzclose(out), Z_OK);
            auto set = read_regions({path}, false);
            ASSERT_TRUE(set) << set.error().chain().back();
            EXPECT_EQ(set->regions.size(), count);
        }
    }
}

// A random GTF text: group and build lines, blank and skipped lines,
// transcripts whose ids come back (after group lines too), lines without a
// chromosome, CRLF endings, perhaps no final newline; when `bad`, lines
// with a bad start or bad UTF-8 from some line on.
std::string random_gtf(std::mt19937& rng, bool bad) {
    auto pick = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
    std::string text;
    const unsigned lines = 1 + pick(150);
    const unsigned bad_from = bad ? pick(lines) : lines;
    for (unsigned i = 0; i < lines; ++i) {
        const unsigned kind = pick(24);
        const std::string id = "\ttranscript_id \"t" + std::to_string(pick(8)) + "\"; gene_name \"g" + std::to_string(i);
        if (kind == 0) text += "#g" + std::to_string(pick(3));
        else if (kind == 1) text += pick(2) ? "#!build" : "";
        else if (kind == 2) text += "chr1\tx\tgene\tz\t1\t.\t+\t." + id;
        else if (kind == 3 && i >= bad_from) text += pick(2) ? "chr1\tx\texon\t1x\t5\t.\t+\t." + id : "\xC0";
        else
            text += (pick(8) ? "chr" + std::to_string(pick(3)) : "") + "\tx\t" + (pick(5) ? "exon" : "transcript") +
                    "\t" + std::to_string(pick(900)) + "\t" + std::to_string(pick(900)) + "\t.\t" + "+-."[pick(3)] +
                    "\t." + id;
        text += pick(4) ? "\n" : "\r\n";
    }
    if (pick(2)) text.pop_back();
    return text;
}

// Read in parts on several threads, a file gives what one piece gives:
// every field, group and exon, and the first bad line as the error.
TEST(RegionFilesInParts, ReadAsOnePiece) {
    TempDir dir;
    std::mt19937 rng(13);
    auto read = [](const std::string& path, std::size_t threads) {
        RegionSet set;
        auto status = read_gtf_regions({path}, set, PartPlan{threads, 1});
        std::string error;
        for (const std::string& line : status ? Chain{} : status.error().chain()) error += line + '\n';
        return status ? region_text(set) : error;
    };
    for (int round = 0; round < 200; ++round) {
        const std::string text = random_gtf(rng, round % 3 == 0);
        write_file(dir.file("a.gtf"), text);
        const std::string whole = read(dir.file("a.gtf"), 1);
        for (std::size_t threads : {2, 3, 8}) ASSERT_EQ(read(dir.file("a.gtf"), threads), whole) << text;
        // A compressed file is read in one piece, whatever the threads.
        if (round % 3 != 1) continue;
        write_gzip(dir.file("a.gtf.gz"), text, 2);
        ASSERT_EQ(read(dir.file("a.gtf.gz"), 8), whole) << text;
    }
}

}  // namespace
}  // namespace binscope
