// sorted_regions_test.cpp - the BED12 file of the final rows with groups.
#include "output/sorted_regions.hpp"

#include <gtest/gtest.h>

#include "support/test_files.hpp"

namespace binscope {
namespace {

std::string written(const Matrix& m) {
    binscope::testing::TempDir dir;
    const std::string path = dir.file("sorted.bed");
    const Status status = write_sorted_regions(path, m);
    EXPECT_TRUE(status) << (status ? "" : status.error().message());
    return binscope::testing::read_file(path);
}

TEST(SortedRegions, HeaderAndLinesWithBlocksAndGroupLabels) {
    const std::string header =
        "#chrom\tstart\tend\tname\tscore\tstrand\tthickStart\tthickEnd\titemRgb\tblockCount\tblockSizes\tblockStarts"
        "\tpeakloom_group\n";
    Matrix m;
    m.region_set.groups = {"first", "empty", "third"};
    EXPECT_EQ(written(m), header);

    m.region_set.regions = {
        Region{"chr9", {{1, 2}}, "dropped", "0", 0, U'.'},  // no row shows it
        Region{"chr1", {{100, 200}}, "a", "0", 0, U'.'},
        Region{"chr1", {{10, 20}, {30, 45}}, "tx", "7.5", 0, U'-'},
        Region{"chr2", {{50, 60}, {20, 30}}, "b12", "0", 2, U'+'},  // blocks kept in input order
        Region{"chr2", {{5, 6}}, "c", "0", 2, U'+'},
    };
    m.row_regions = {1, 2, 3, 4};
    m.group_boundaries = {0, 2, 4};
    EXPECT_EQ(written(m), header +
                              "chr1\t100\t200\ta\t0\t.\t100\t200\t0\t1\t100\t0\tfirst\n"
                              "chr1\t10\t45\ttx\t7.5\t-\t10\t45\t0\t2\t10,15\t0,20\tfirst\n"
                              "chr2\t50\t30\tb12\t0\t+\t50\t30\t0\t2\t10,10\t0,-30\tthird\n"
                              "chr2\t5\t6\tc\t0\t+\t5\t6\t0\t1\t1\t0\tthird\n");
}

}  // namespace
}  // namespace binscope
