// gtf_reader_test.cpp - GTF region files: transcripts and exons, attribute
// parsing, groups, errors and real annotation excerpts.
#include <gtest/gtest.h>

#include <algorithm>

#include "bed_reader.hpp"
#include "support/region_text.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

using Chain = std::vector<std::string>;

// One GTF line from its columns 1, 3, 4, 5, 7 and 9.
std::string gtf(const std::string& chrom, const std::string& feature, const std::string& start,
                const std::string& end, const std::string& strand, const std::string& attributes) {
    return chrom + "\tsrc\t" + feature + "\t" + start + "\t" + end + "\t.\t" + strand + "\t.\t" + attributes + "\n";
}

Result<RegionSet> read_gtf(const std::vector<std::string>& paths) { return read_regions(paths, false); }

TEST(GtfReader, TranscriptsFromExons) {
    TempDir dir;
    write_file(dir.file("a.gtf"),
               "#!genome-build test\n" +
                   gtf("chr1", "transcript", "1", "1000", "+", R"(gene_id "g1"; transcript_id "t1"; gene_name "G1";)") +
                   gtf("chr1", "exon", "500", "600", "+", R"(gene_id "g1"; transcript_id "t1"; gene_name "G1";)") +
                   gtf("chr1", "EXON", "100", "200", "+", R"(transcript_id "t1")") +
                   gtf("chr2", "exon", "10", "20", "-", R"(transcript_id """t2"""; transcript_name "T2")") +
                   gtf("chr2", "exon", "5", "8", "-", "transcript_id t2") +
                   gtf("chr2", "exon", "5", "6", "-", "transcript_id t2") +
                   // Later lines of t1 do not change its chromosome or strand.
                   gtf("chrX", "Exon", "300", "300", "-", "transcript_id t1") +
                   gtf("chr1", "exon", "300", "310", "+", R"(transcript_id "t1")") +
                   gtf("chr1", "gene", "notanumber", "5", "+", R"(transcript_id "t1")") +
                   gtf("chr1", "CDS", "100", "200", "+", R"(transcript_id "t1")") +
                   gtf("chr1", "transcript", "1", "5", "+", R"(transcript_id "no_exons")") +
                   gtf("chr1", "exon", "1", "5", "+", R"(gene_id=g; transcript_id=gff3)") +
                   "chr1\tsrc\texon\t1\t5\t.\t+\t.\n" +
                   gtf("chr3", "exon", "50", "40", "*", R"(transcript_id "t4"; transcript_id "t5";gene_name  "G5" ;;)") +
                   "## second group \n" + gtf("chr1", "exon", "900", "950", "+", R"( transcript_id "t1";)"));
    // t1's blocks sorted by start, equal starts in arrival order; a repeated
    // key keeps its last value (t5); start > end is taken as written; the
    // same id after a group line is a new transcript of that group.
    EXPECT_EQ(region_text(read_gtf({dir.file("a.gtf")})),
              "[genes]\n[# second group]\nchr1 [99,200) [299,300) [299,310) [499,600) G1 0 0 +\n"
              "chr2 [4,8) [4,6) [9,20) T2 0 0 -\nchr3 [49,40) G5 0 0 .\nchr1 [899,950) t1 0 1 +\n");
}

TEST(GtfReader, OneTableAndGroupPerFile) {
    TempDir dir;
    write_file(dir.file("x.gtf"), gtf("chr1", "exon", "1", "10", "+", R"(transcript_id "t")"));
    write_file(dir.file("y.GFF"), gtf("chr1", "exon", "20", "30", "+", R"(transcript_id "t")"));
    EXPECT_EQ(region_text(read_gtf({dir.file("x.gtf"), dir.file("y.GFF")})),
              "[x]\n[y]\nchr1 [0,10) t 0 0 +\nchr1 [19,30) t 0 1 +\n");
}

TEST(GtfReader, Errors) {
    TempDir dir;
    const std::string path = dir.file("a.gtf");
    auto error_of = [&](const std::string& content) {
        write_file(path, content);
        auto set = read_gtf({path});
        return set ? Chain{} : set.error().chain();
    };
    EXPECT_EQ(error_of(std::string("\n") + gtf("chr1", "exon", "1x", "10", "+", "transcript_id t")),
              (Chain{"bad start at " + path + ":2", "invalid digit found in string"}));
    EXPECT_EQ(error_of(gtf("chr1", "transcript", "1", "", "+", "transcript_id t")),
              (Chain{"bad end at " + path + ":1", "cannot parse integer from empty string"}));
    // Coordinates are checked before the attributes.
    EXPECT_EQ(error_of(gtf("chr1", "exon", "-9223372036854775808", "1", "+", "")),
              (Chain{"bad start at " + path + ":1", "number too small to fit in target type"}));
    EXPECT_EQ(error_of("#g\n\xC0\n"), (Chain{"reading " + path + " line 2", "stream did not contain valid UTF-8"}));
    auto missing = read_gtf({dir.file("none.gtf")});
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().chain(),
              (Chain{"opening GTF " + dir.file("none.gtf"), "No such file or directory (os error 2)"}));
}

// Region count, regions with several exons (0: not checked) and groups.
void check_real(const std::filesystem::path& path, std::size_t regions, std::size_t multi_exon,
                const std::vector<std::string>& groups) {
    SCOPED_TRACE(path.filename().string());
    auto set = read_gtf({path.string()});
    ASSERT_TRUE(set) << set.error().message();
    EXPECT_EQ(set->regions.size(), regions);
    std::size_t multi = 0;
    for (const Region& r : set->regions) {
        multi += r.blocks.size() > 1;
        EXPECT_TRUE(std::is_sorted(r.blocks.begin(), r.blocks.end(), [](auto& a, auto& b) { return a.start < b.start; }));
    }
    EXPECT_TRUE(multi_exon == 0 || multi == multi_exon);
    EXPECT_EQ(set->groups, groups);
}

TEST(GtfReaderReal, AnnotationExcerpts) {
    check_real(test_data("real/rsamtools_example.gtf"), 34, 28, {"genes"});
    check_real(test_data("real/kallisto_transcripts.gtf"), 27, 0, {"genes"});  // "#!" lines open no group
    check_real(test_data("real/genomicfeatures_Aedes_aegypti.partial.gtf"), 105, 0, {"genes"});
    check_real(test_data("real/rtracklayer_test.gtf"), 0, 0, {"genes", "#gff-version 3", "#date 2011-05-17"});
    auto gff3 = read_gtf({test_data("real/genomicfeatures_dmel-1000-r5.11.filtered.gff").string()});
    ASSERT_TRUE(gff3);
    EXPECT_TRUE(gff3->regions.empty());  // key=value attributes
    EXPECT_EQ(gff3->groups.size(), 3u);
}

}  // namespace
}  // namespace binscope
