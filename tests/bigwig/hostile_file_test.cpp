// hostile_file_test.cpp - broken R-trees and data blocks end a query with an
// error and leave the reader usable; damaged files never crash or hang.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "bigwig/reader.hpp"
#include "support/bigwig_writer.hpp"
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

void PrintTo(const QueryBreak& b, std::ostream* os) { *os << b.name; }

class HostileQuery : public ::testing::TestWithParam<QueryBreak> {};

std::string sample_file(const BigWigOptions& o) {
    std::vector<BedGraphItem> many;
    for (std::uint32_t i = 0; i < 40; ++i) many.push_back({i * 10, i * 10 + 5, static_cast<float>(i)});
    return bigwig_bytes({{"chr1", 1000}, {"chr2", 1000}},
                        {bedgraph_section("chr1", many), bedgraph_section("chr2", {{0, 100, 2.5f}})}, o);
}

TEST_P(HostileQuery, EndsTheQueryWithAnErrorAndKeepsTheReaderUsable) {
    const QueryBreak& b = GetParam();
    BigWigOptions o;
    o.breakage = b.breakage == BigWigBreak::Truncate ? BigWigBreak::None : b.breakage;
    o.compress = b.compress;
    o.items_per_block = 4;  // 10 blocks on chr1, one on chr2
    o.rtree_fanout = 3;
    o.chain_length = 20000;
    std::string bytes = sample_file(o);
    if (b.breakage == BigWigBreak::Truncate) {
        // Cut inside the R-tree index header.
        auto whole = BigWigReader::open_memory(bytes, "mem.bw");
        ASSERT_TRUE(whole.has_value());
        bytes.resize(whole->header().full_index_offset + 20);
    }
    auto r = BigWigReader::open_memory(bytes, "mem.bw");
    ASSERT_TRUE(r.has_value());

    for (int attempt = 0; attempt < 2; ++attempt) {
        auto v = testing::read_values(*r, "chr1", 0, 400);
        ASSERT_FALSE(v.has_value());
        EXPECT_EQ(v.error().message(), b.text);
    }
    if (b.other_chrom_ok) {
        auto other = testing::read_values(*r, "chr2", 50, 52);
        ASSERT_TRUE(other.has_value()) << other.error().message();
        EXPECT_EQ((*other)[1], 2.5f);
    }
}

constexpr const char* kShortRead = "Error occurred: failed to fill whole buffer";
constexpr const char* kNoHeader = "The file was invalid: Block shorter than its section header";
using B = BigWigBreak;
INSTANTIATE_TEST_SUITE_P(
    Breaks, HostileQuery,
    ::testing::Values(
        QueryBreak{"RTreeCycle", B::RTreeCycle, true, "The file was invalid: R-tree node reached twice", true},
        QueryBreak{"RTreeBadIsLeaf", B::RTreeBadIsLeaf, true, "The file was invalid: Unexpected isleaf: 7", false},
        QueryBreak{"RTreeNodeHugeCount", B::RTreeNodeHugeCount, true, kShortRead, false},
        QueryBreak{"Truncated", B::Truncate, true, kShortRead, false},
        QueryBreak{"BlockHugeSize", B::BlockHugeSize, true, kShortRead, true},
        QueryBreak{"BlockOffsetPastEnd", B::BlockOffsetPastEnd, true, kShortRead, true},
        QueryBreak{"BlocksOverlap", B::BlocksOverlap, false, "The file was invalid: Data blocks overlap", true},
        QueryBreak{"BlockNotZlib", B::BlockNotZlib, true,
                   "The file was invalid: Block is not a valid zlib stream", true},
        QueryBreak{"InflatesBeyondBufSize", B::UncompressBufTooSmall, true,
                   "The file was invalid: Block decompresses to more than uncompressBufSize", false},
        QueryBreak{"SectionShortCompressed", B::SectionShort, true, kNoHeader, true},
        QueryBreak{"SectionShortStored", B::SectionShort, false, kNoHeader, true},
        QueryBreak{"RecordsPastBlockEnd", B::RecordsPastBlockEnd, true,
                   "The file was invalid: Section records run past the end of the block", true},
        QueryBreak{"UnknownSectionType", B::UnknownSectionType, false,
                   "The file was invalid: Unknown bigwig section type: 9", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HostileFile, HugeBufferSizeAndDeepRTreeChainsStillRead) {
    for (BigWigBreak b : {BigWigBreak::HugeUncompressBufSize, BigWigBreak::RTreeLongChain}) {
        BigWigOptions o;
        o.breakage = b;
        o.items_per_block = 4;
        o.chain_length = 100000;
        auto r = BigWigReader::open_memory(sample_file(o), "mem.bw");
        ASSERT_TRUE(r.has_value());
        auto v = testing::read_values(*r, "chr1", 393, 396);
        ASSERT_TRUE(v.has_value()) << v.error().message();
        EXPECT_EQ((*v)[0], 39.0f);
        EXPECT_TRUE(std::isnan((*v)[2]));
    }
}

TEST(HostileFile, InvertedAndWrappedRunsAreSkipped) {
    const std::uint32_t top = 0xFFFFFFFFu;
    auto r = BigWigReader::open_memory(
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

// Every prefix and many random corruptions of a small file either open and
// answer queries (with values or an error) or fail to open; none crashes.
TEST(HostileFile, TruncatedAndCorruptedFilesNeverCrash) {
    BigWigOptions o;
    o.items_per_block = 3;
    o.chrom_tree_fanout = 2;
    o.rtree_fanout = 2;
    o.zoom_levels = 1;
    std::string good = bigwig_bytes({{"chr1", 500}, {"chr2", 300}, {"chr3", 100}},
                                    {bedgraph_section("chr1", {{0, 50, 1}, {60, 70, 2}, {100, 400, 3}, {450, 500, 4}}),
                                     fixedstep_section("chr2", 10, 20, 15, {1, 2, 3, 4, 5, 6, 7}),
                                     variablestep_section("chr3", 5, {{0, 1}, {50, 2}, {95, 3}})},
                                    o);
    auto exercise = [](std::string bytes) {
        auto r = BigWigReader::open_memory(std::move(bytes), "mem.bw");
        if (!r) return;
        for (const char* chrom : {"chr1", "chr2", "chr3"}) {
            (void)testing::read_values(*r, chrom, 0, 500);
            (void)testing::read_values(*r, chrom, 40, 65);
        }
    };
    ::testing::internal::CaptureStderr();
    for (std::size_t n = 0; n < good.size(); ++n) exercise(good.substr(0, n));
    std::mt19937 rng(7);
    for (int i = 0; i < 10000; ++i) {
        std::string bad = good;
        int flips = 1 + static_cast<int>(rng() % 4);
        for (int f = 0; f < flips; ++f) bad[rng() % bad.size()] = static_cast<char>(rng());
        exercise(bad);
    }
    ::testing::internal::GetCapturedStderr();
}

}  // namespace
}  // namespace binscope
