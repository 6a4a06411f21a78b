// hostile_file_test.cpp - broken R-trees and data blocks end a query with an
// error and leave the reader usable.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "bigwig/reader.hpp"
#include "support/bigwig_writer.hpp"
#include "support/memory_reader.hpp"
#include "support/reference_row.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

struct QueryBreak {
    const char* name;
    BigWigBreak breakage;
    bool compress;
    const char* text;
    bool other_chrom_ok;  // chr2, away from the damage, still reads
};

std::string sample_file(const BigWigOptions& o) {
    std::vector<BedGraphItem> many;
    for (std::uint32_t i = 0; i < 40; ++i) many.push_back({i * 10, i * 10 + 5, static_cast<float>(i)});
    return bigwig_bytes({{"chr1", 1000}, {"chr2", 1000}},
                        {bedgraph_section("chr1", many), bedgraph_section("chr2", {{0, 100, 2.5f}})}, o);
}

TEST(HostileQuery, EndsTheQueryWithAnErrorAndKeepsTheReaderUsable) {
    const char* short_read = "Error occurred: failed to fill whole buffer";
    const char* no_header = "The file was invalid: Block shorter than its section header";
    using B = BigWigBreak;
    const QueryBreak cases[] = {
        {"RTreeCycle", B::RTreeCycle, true, "The file was invalid: R-tree node reached twice", true},
        {"RTreeBadIsLeaf", B::RTreeBadIsLeaf, true, "The file was invalid: Unexpected isleaf: 7", false},
        {"RTreeNodeHugeCount", B::RTreeNodeHugeCount, true, short_read, false},
        {"Truncated", B::Truncate, true, short_read, false},
        {"BlockHugeSize", B::BlockHugeSize, true, short_read, true},
        {"BlockOffsetPastEnd", B::BlockOffsetPastEnd, true, short_read, true},
        {"BlocksOverlap", B::BlocksOverlap, false, "The file was invalid: Data blocks overlap", true},
        {"BlockNotZlib", B::BlockNotZlib, true, "The file was invalid: Block is not a valid zlib stream", true},
        {"InflatesBeyondBufSize", B::UncompressBufTooSmall, true,
         "The file was invalid: Block decompresses to more than uncompressBufSize", false},
        {"SectionShortCompressed", B::SectionShort, true, no_header, true},
        {"SectionShortStored", B::SectionShort, false, no_header, true},
        {"RecordsPastBlockEnd", B::RecordsPastBlockEnd, true,
         "The file was invalid: Section records run past the end of the block", true},
        {"UnknownSectionType", B::UnknownSectionType, false, "The file was invalid: Unknown bigwig section type: 9",
         true},
    };
    for (const QueryBreak& b : cases) {
        SCOPED_TRACE(b.name);
        // 10 blocks on chr1, one on chr2.
        const BigWigOptions o{.compress = b.compress, .items_per_block = 4, .rtree_fanout = 3, .breakage = b.breakage};
        auto r = testing::open_memory(sample_file(o), "mem.bw");
        ASSERT_TRUE(r.has_value());
        for (int attempt = 0; attempt < 2; ++attempt) {
            auto v = testing::read_values(*r, "chr1", 0, 400);
            ASSERT_FALSE(v.has_value());
            EXPECT_EQ(v.error().message(), b.text);
            // A failed read keeps the read's own error below its line.
            if (b.text == short_read) {
                EXPECT_EQ(v.error().causes(), std::vector<std::string>{"failed to fill whole buffer"});
            }
        }
        if (b.other_chrom_ok) {
            auto other = testing::read_values(*r, "chr2", 50, 52);
            ASSERT_TRUE(other.has_value()) << other.error().message();
            EXPECT_EQ((*other)[1], 2.5f);
        }
    }
}

TEST(HostileFile, HugeBufferSizeAndDeepRTreeChainsStillRead) {
    for (BigWigBreak b : {BigWigBreak::HugeUncompressBufSize, BigWigBreak::RTreeLongChain}) {
        const BigWigOptions o{.items_per_block = 4, .breakage = b, .chain_length = 100000};
        auto r = testing::open_memory(sample_file(o), "mem.bw");
        ASSERT_TRUE(r.has_value());
        auto v = testing::read_values(*r, "chr1", 393, 396);
        ASSERT_TRUE(v.has_value()) << v.error().message();
        EXPECT_EQ((*v)[0], 39.0f);
        EXPECT_TRUE(std::isnan((*v)[2]));
    }
}

TEST(HostileFile, InvertedAndWrappedRunsAreSkipped) {
    const std::uint32_t top = 0xFFFFFFFFu;
    auto r = testing::open_memory(
        bigwig_bytes({{"chr1", top}}, {bedgraph_section("chr1", {{20, 10, 1}, {top - 8, top - 4, 2}}),
                                       variablestep_section("chr1", 0x20, {{top - 4, 3}}),
                                       fixedstep_section("chr1", top - 2, 0x10, 0x10, {4})}),
        "mem.bw");
    ASSERT_TRUE(r.has_value());
    auto low = testing::read_values(*r, "chr1", 0, 30);
    ASSERT_TRUE(low.has_value());
    for (float f : *low) EXPECT_TRUE(std::isnan(f));
    auto high = testing::read_values(*r, "chr1", top - 10, top);
    ASSERT_TRUE(high.has_value());
    EXPECT_TRUE(std::isnan((*high)[0]));
    EXPECT_EQ((*high)[2], 2.0f);
    EXPECT_TRUE(std::isnan((*high)[6]));  // both wrapped runs were dropped
    EXPECT_TRUE(std::isnan((*high)[9]));
}

}  // namespace
}  // namespace binscope
