// interval_query_test.cpp - per-base interval queries: blocks of other
// chromosomes, blocks listed twice, query errors, caches, and a randomised
// comparison against a plain model of the records (section types, clipping,
// overwrite order) over many file layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "bigwig/byte_source.hpp"
#include "bigwig/file_header.hpp"
#include "bigwig/reader.hpp"
#include "support/bigwig_writer.hpp"
#include "support/memory_reader.hpp"
#include "support/reference_row.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

const float kNaN = std::numeric_limits<float>::quiet_NaN();

bool same(const std::vector<float>& a, const std::vector<float>& b) {
    return std::ranges::equal(a, b, [](float x, float y) { return x == y || (std::isnan(x) && std::isnan(y)); });
}

BigWigReader open_bytes(const std::string& bytes) {
    auto r = testing::open_memory(bytes, "mem.bw");
    if (!r) throw std::runtime_error("open failed: " + r.error().message());
    return std::move(*r);
}

std::vector<float> query(BigWigReader& r, std::string_view chrom, std::uint32_t start, std::uint32_t end) {
    auto v = testing::read_values(r, chrom, start, end);
    if (!v) throw std::runtime_error("query failed: " + v.error().message());
    return *v;
}

TEST(IntervalQuery, ABlockOfAnotherChromosomeIsSkippedWithoutLookingAtItsType) {
    std::string bytes = bigwig_bytes({{"chr1", 100}, {"chr2", 100}},
                                     {bedgraph_section("chr1", {{0, 10, 1}}), bedgraph_section("chr1", {{5, 6, 2}})},
                                     {.compress = false});
    std::uint64_t first_block = bigwig::read_layout(*testing::memory_source(bytes))->header.full_data_offset + 8;
    bytes[first_block] = 1;        // section chromId: chr2
    bytes[first_block + 20] = 77;  // and a type that does not exist
    BigWigReader r = open_bytes(bytes);
    EXPECT_TRUE(same(query(r, "chr1", 4, 7), {kNaN, 2, kNaN}));
}

TEST(IntervalQuery, ABlockListedTwiceActsAtItsLastPlace) {
    const BigWigOptions o{.items_per_block = 1, .breakage = BigWigBreak::BlockListedTwice};  // blocks A, B, A
    BigWigReader r = open_bytes(bigwig_bytes({{"chr1", 100}}, {bedgraph_section("chr1", {{0, 10, 1}, {5, 15, 2}})}, o));
    EXPECT_TRUE(same(query(r, "chr1", 4, 16), {1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, kNaN}));
}

TEST(IntervalQuery, UnknownChromosomeAndWrongIndexMagicAreQueryErrors) {
    ReadLog log;
    BigWigReader r = open_counted(bigwig_bytes({{"chr1", 100}}, {bedgraph_section("chr1", {{0, 10, 1}})}), log);
    auto v = testing::read_values(r, "chr9", 0, 5);
    ASSERT_FALSE(v.has_value());
    EXPECT_EQ(v.error().message(), "The passed chromosome (chr9) was incorrect.");
    EXPECT_TRUE(log.empty());

    const std::string bytes =
        bigwig_bytes({{"chr1", 100}}, {bedgraph_section("chr1", {{0, 10, 1}})}, {.breakage = BigWigBreak::IndexMagic});
    const std::uint64_t index = bigwig::read_layout(*testing::memory_source(bytes))->header.full_index_offset;
    BigWigReader bad = open_counted(bytes, log);
    for (int attempt = 1; attempt <= 2; ++attempt) {
        v = testing::read_values(bad, "chr1", 0, 5);
        ASSERT_FALSE(v.has_value());
        EXPECT_EQ(v.error().message(), "Invalid magic (likely a bug).");
        EXPECT_EQ(log[index], attempt);  // a bad index is not kept
    }
}

TEST(IntervalQuery, NeighbouringQueriesReadTheIndexAndEachBlockOnce) {
    std::vector<BedGraphItem> items;
    for (std::uint32_t i = 0; i < 2000; ++i) items.push_back({i * 10, i * 10 + 10, static_cast<float>(i)});
    // 20 blocks; 5 leaves, 2 inner nodes, a root.
    const BigWigOptions o{.items_per_block = 100, .rtree_fanout = 4};
    const std::string bytes = bigwig_bytes({{"chr1", 20000}}, {bedgraph_section("chr1", items)}, o);
    const BigWigHeader header = bigwig::read_layout(*testing::memory_source(bytes))->header;
    ReadLog log;
    BigWigReader r = open_counted(bytes, log);
    for (std::uint32_t start = 0; start + 200 <= 20000; start += 100) {
        auto out = testing::read_values(r, "chr1", start, start + 200);
        ASSERT_TRUE(out.has_value());
        ASSERT_EQ(out->front(), static_cast<float>(start / 10));
        ASSERT_EQ(out->back(), static_cast<float>((start + 199) / 10));
    }
    std::size_t blocks = 0, index_reads = 0;
    for (const auto& [offset, times] : log) {
        EXPECT_EQ(times, 1) << offset;
        if (offset < header.full_index_offset) ++blocks;
        else ++index_reads;
    }
    EXPECT_EQ(blocks, 20u);
    EXPECT_EQ(index_reads, 1u + 8u * 2u);  // the header, then each node's head and items
}

// Sorted and disjoint, overlapping and out of order, NaN and span-0 records
// of all three section types, over many file layouts.
TEST(IntervalQuery, RandomFilesAgreeWithAPlainModelOfTheirRecords) {
    std::mt19937 rng(20240611);
    auto pick = [&](std::uint32_t lo, std::uint32_t hi) {
        return std::uniform_int_distribution<std::uint32_t>(lo, hi)(rng);
    };
    for (int round = 0; round < 60; ++round) {
        std::vector<BigWigChrom> chroms;
        std::uint32_t nchroms = pick(1, 12);
        for (std::uint32_t c = 0; c < nchroms; ++c) chroms.push_back({std::string{'c', static_cast<char>('a' + c)}, pick(50, 3000)});
        // The value every base should have: every record applied in file order.
        std::vector<std::vector<float>> bases;
        for (const auto& c : chroms) bases.emplace_back(c.length, kNaN);
        std::vector<BigWigSection> sections;
        for (std::uint32_t s = pick(0, 15); s > 0; --s) {
            const std::uint32_t ci = pick(0, nchroms - 1);
            sections.push_back(random_section(chroms[ci].name, chroms[ci].length, pick(0, 1), rng));
            apply_section(sections.back(), bases[ci]);
        }

        const BigWigOptions o{.big_endian = pick(0, 1) == 1, .compress = pick(0, 1) == 1, .items_per_block = pick(1, 40),
                              .chrom_tree_fanout = pick(2, 5), .rtree_fanout = pick(2, 6)};
        BigWigReader r = open_bytes(bigwig_bytes(chroms, sections, o));
        ASSERT_EQ(r.chroms().size(), chroms.size());

        // Sorted windows (the cache's best case), then random ones.
        for (int q = 0; q < 80; ++q) {
            std::uint32_t ci = q < 40 ? static_cast<std::uint32_t>(q * nchroms / 40) : pick(0, nchroms - 1);
            std::uint32_t len = chroms[ci].length;
            std::uint32_t a = q < 40 ? static_cast<std::uint32_t>((q * 97) % len) : pick(0, len - 1);
            std::uint32_t b = pick(a + 1, len);
            std::vector<float> want(bases[ci].begin() + a, bases[ci].begin() + b);
            std::vector<float> got = query(r, chroms[ci].name, a, b);
            ASSERT_TRUE(same(got, want)) << "round " << round << " " << chroms[ci].name << ":" << a << "-" << b
                                         << "\n got " << ::testing::PrintToString(got)
                                         << "\nwant " << ::testing::PrintToString(want);
        }
    }
}

}  // namespace
}  // namespace binscope
