// sorted_regions_test.cpp - the BED12 file of the final rows with groups.
#include "output/sorted_regions.hpp"

#include <gtest/gtest.h>

#include "support/test_files.hpp"

namespace binscope {
namespace {

using binscope::testing::read_file;
using binscope::testing::TempDir;

constexpr const char* kHeader =
    "#chrom\tstart\tend\tname\tscore\tstrand\tthickStart\tthickEnd\titemRgb\tblockCount\tblockSizes\tblockStarts"
    "\tpeakloom_group\n";

Region region(std::vector<Block> blocks, std::string name, std::string score, std::size_t group, Strand strand) {
    Region r;
    r.chrom = "chr1";
    r.blocks = std::move(blocks);
    r.name = std::move(name);
    r.score = std::move(score);
    r.group = group;
    r.strand = strand;
    return r;
}

std::string written(const Matrix& m) {
    TempDir dir;
    const std::string path = dir.file("sorted.bed");
    const Status status = write_sorted_regions(path, m);
    EXPECT_TRUE(status) << (status ? "" : status.error().message());
    return read_file(path);
}

TEST(SortedRegions, LinesWithBlocksAndGroupLabels) {
    Matrix m;
    m.group_names = {"first", "empty", "third"};
    m.regions = {
        region({{100, 200}}, "a", "0", 0, U'.'),
        region({{10, 20}, {30, 45}}, "tx", "7.5", 0, U'-'),
        region({{50, 60}, {20, 30}}, "b12", "0", 2, U'+'),
        region({{5, 6}}, "c", "0", 2, U'+'),
    };
    m.group_boundaries = {0, 2, 4};
    EXPECT_EQ(written(m), std::string(kHeader) +
                              "chr1\t100\t200\ta\t0\t.\t100\t200\t0\t1\t100\t0\tfirst\n"
                              "chr1\t10\t45\ttx\t7.5\t-\t10\t45\t0\t2\t10,15\t0,20\tfirst\n"
                              "chr1\t50\t30\tb12\t0\t+\t50\t30\t0\t2\t10,10\t0,-30\tthird\n"
                              "chr1\t5\t6\tc\t0\t+\t5\t6\t0\t1\t1\t0\tthird\n");
}

TEST(SortedRegions, NoRowsGiveTheHeaderOnly) {
    Matrix m;
    m.group_names = {"genes"};
    EXPECT_EQ(written(m), kHeader);
}

TEST(SortedRegions, WriteErrorsAreTheSystemMessage) {
    Matrix m;
    const Status status = write_sorted_regions("/dev/full", m);
    ASSERT_FALSE(status);
    EXPECT_EQ(status.error().chain(), std::vector<std::string>{"No space left on device (os error 28)"});
}

}  // namespace
}  // namespace binscope
