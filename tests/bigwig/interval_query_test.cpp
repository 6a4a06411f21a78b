// interval_query_test.cpp - per-base interval queries: section types,
// clipping, overwrite order, caches, and a randomised comparison against a
// plain model of the records over many file layouts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "bigwig/reader.hpp"
#include "support/bigwig_writer.hpp"
#include "support/reference_row.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

const float kNaN = std::numeric_limits<float>::quiet_NaN();

bool same(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::isnan(a[i]) != std::isnan(b[i])) return false;
        if (!std::isnan(a[i]) && a[i] != b[i]) return false;
    }
    return true;
}

std::string show(const std::vector<float>& v) {
    std::string s;
    for (float f : v) s += std::to_string(f) + " ";
    return s;
}

BigWigReader open_bytes(const std::string& bytes) {
    auto r = BigWigReader::open_memory(bytes, "mem.bw");
    if (!r) throw std::runtime_error("open failed: " + r.error().message());
    return std::move(*r);
}

std::vector<float> query(BigWigReader& r, std::string_view chrom, std::uint32_t start, std::uint32_t end) {
    auto v = testing::read_values(r, chrom, start, end);
    if (!v) throw std::runtime_error("query failed: " + v.error().message());
    return *v;
}

class EveryLayout : public ::testing::TestWithParam<std::tuple<bool, bool>> {
protected:
    BigWigOptions options() const {
        BigWigOptions o;
        o.big_endian = std::get<0>(GetParam());
        o.compress = std::get<1>(GetParam());
        return o;
    }
};

TEST_P(EveryLayout, SectionTypesClipToTheQueryAndLeaveGapsMissing) {
    BigWigReader r = open_bytes(bigwig_bytes(
        {{"chr1", 1000}, {"chr2", 1000}, {"chr3", 1000}},
        {bedgraph_section("chr1", {{10, 20, 1.5f}, {20, 22, -0.25f}}), fixedstep_section("chr2", 100, 10, 5, {1, 2, 3}),
         variablestep_section("chr3", 3, {{50, 7}, {60, 8}}), variablestep_section("chr3", 0, {{55, 9}})},
        options()));

    EXPECT_TRUE(same(query(r, "chr1", 15, 30),
                     {1.5f, 1.5f, 1.5f, 1.5f, 1.5f, -0.25f, -0.25f, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN}));
    // A run ending at the query start or starting at its end contributes nothing.
    EXPECT_TRUE(same(query(r, "chr1", 22, 25), {kNaN, kNaN, kNaN}));
    EXPECT_TRUE(same(query(r, "chr1", 5, 10), {kNaN, kNaN, kNaN, kNaN, kNaN}));

    std::vector<float> fixed = query(r, "chr2", 98, 127);
    std::vector<float> want(29, kNaN);
    for (int i = 0; i < 3; ++i)
        for (int b = 0; b < 5; ++b) want[100 - 98 + 10 * i + b] = static_cast<float>(i + 1);
    EXPECT_TRUE(same(fixed, want)) << show(fixed);

    // The span-0 variableStep record writes nothing.
    EXPECT_TRUE(same(query(r, "chr3", 51, 63), {7, 7, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, kNaN, 8, 8, 8}));
}

TEST_P(EveryLayout, LaterRunsOverwriteEarlierOnesWithinAndAcrossBlocks) {
    BigWigOptions o = options();
    o.items_per_block = 2;
    BigWigReader r =
        open_bytes(bigwig_bytes({{"chr1", 100}},
                                {bedgraph_section("chr1", {{0, 10, 1}, {5, 8, 2}, {6, 7, kNaN}}),
                                 variablestep_section("chr1", 4, {{8, 3}}), fixedstep_section("chr1", 1, 2, 1, {4, 4})},
                                o));
    EXPECT_TRUE(same(query(r, "chr1", 0, 13), {1, 4, 1, 4, 1, 2, kNaN, 2, 3, 3, 3, 3, kNaN}));
}

INSTANTIATE_TEST_SUITE_P(ByteOrderAndCompression, EveryLayout, ::testing::Combine(::testing::Bool(), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param) ? "Big" : "Little") +
                                    (std::get<1>(info.param) ? "Compressed" : "Stored");
                         });

TEST(IntervalQuery, ABlockOfAnotherChromosomeIsSkippedWithoutLookingAtItsType) {
    BigWigOptions o;
    o.compress = false;
    std::string bytes =
        bigwig_bytes({{"chr1", 100}, {"chr2", 100}},
                     {bedgraph_section("chr1", {{0, 10, 1}}), bedgraph_section("chr1", {{5, 6, 2}})}, o);
    std::uint64_t first_block = open_bytes(bytes).header().full_data_offset + 8;
    bytes[first_block] = 1;        // section chromId: chr2
    bytes[first_block + 20] = 77;  // and a type that does not exist
    BigWigReader r = open_bytes(bytes);
    EXPECT_TRUE(same(query(r, "chr1", 4, 7), {kNaN, 2, kNaN}));
}

TEST(IntervalQuery, ABlockListedTwiceActsAtItsLastPlace) {
    BigWigOptions o;
    o.items_per_block = 1;
    o.breakage = BigWigBreak::BlockListedTwice;  // blocks A, B, A
    BigWigReader r = open_bytes(bigwig_bytes({{"chr1", 100}}, {bedgraph_section("chr1", {{0, 10, 1}, {5, 15, 2}})}, o));
    EXPECT_TRUE(same(query(r, "chr1", 4, 16), {1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, kNaN}));
}

TEST(IntervalQuery, UnknownChromosomeAndWrongIndexMagicAreQueryErrors) {
    BigWigReader r = open_bytes(bigwig_bytes({{"chr1", 100}}, {bedgraph_section("chr1", {{0, 10, 1}})}));
    auto v = testing::read_values(r, "chr9", 0, 5);
    ASSERT_FALSE(v.has_value());
    EXPECT_EQ(v.error().message(), "The passed chromosome (chr9) was incorrect.");
    EXPECT_EQ(r.stats().index_header_reads, 0u);

    BigWigOptions o;
    o.breakage = BigWigBreak::IndexMagic;
    BigWigReader bad = open_bytes(bigwig_bytes({{"chr1", 100}}, {bedgraph_section("chr1", {{0, 10, 1}})}, o));
    for (int attempt = 1; attempt <= 2; ++attempt) {
        v = testing::read_values(bad, "chr1", 0, 5);
        ASSERT_FALSE(v.has_value());
        EXPECT_EQ(v.error().message(), "Invalid magic (likely a bug).");
        EXPECT_EQ(bad.stats().index_header_reads, static_cast<std::uint64_t>(attempt));
    }
}

TEST(IntervalQuery, NeighbouringQueriesReuseTheIndexAndInflateEachBlockOnce) {
    std::vector<BedGraphItem> items;
    for (std::uint32_t i = 0; i < 2000; ++i) items.push_back({i * 10, i * 10 + 10, static_cast<float>(i)});
    BigWigOptions o;
    o.items_per_block = 100;  // 20 blocks
    o.rtree_fanout = 4;       // 5 leaves, 2 inner nodes, a root
    BigWigReader r = open_bytes(bigwig_bytes({{"chr1", 20000}}, {bedgraph_section("chr1", items)}, o));
    std::vector<float> out(200);
    for (std::uint32_t start = 0; start + 200 <= 20000; start += 100) {
        ASSERT_TRUE(r.values_into("chr1", start, start + 200, out).has_value());
        ASSERT_EQ(out[0], static_cast<float>(start / 10));
        ASSERT_EQ(out[199], static_cast<float>((start + 199) / 10));
    }
    EXPECT_EQ(r.stats().index_header_reads, 1u);
    EXPECT_EQ(r.stats().node_reads, 8u);
    EXPECT_EQ(r.stats().blocks_inflated, 20u);
    EXPECT_EQ(r.stats().block_reads, 20u);
}

// The value every base should have: the runs of all blocks applied in file
// order, each record in order.
struct Model {
    std::vector<std::vector<float>> bases;

    void run(std::size_t chrom, std::uint64_t s, std::uint64_t e, float v) {
        auto& b = bases[chrom];
        for (std::uint64_t p = s; p < e && p < b.size(); ++p) b[p] = v;
    }
};

std::string fmt_name(std::uint32_t c) {
    std::string name = "c";
    name += std::to_string(c);
    return name;
}

TEST(IntervalQuery, RandomFilesAgreeWithAPlainModelOfTheirRecords) {
    std::mt19937 rng(20240611);
    auto pick = [&](std::uint32_t lo, std::uint32_t hi) {
        return std::uniform_int_distribution<std::uint32_t>(lo, hi)(rng);
    };
    for (int round = 0; round < 60; ++round) {
        std::vector<BigWigChrom> chroms;
        std::uint32_t nchroms = pick(1, 12);
        for (std::uint32_t c = 0; c < nchroms; ++c) chroms.push_back({fmt_name(c), pick(50, 3000)});
        Model model;
        for (const auto& c : chroms) model.bases.emplace_back(c.length, kNaN);

        std::vector<BigWigSection> sections;
        std::uint32_t nsections = pick(0, 15);
        for (std::uint32_t s = 0; s < nsections; ++s) {
            std::uint32_t ci = pick(0, nchroms - 1);
            std::uint32_t len = chroms[ci].length;
            std::uint32_t n = pick(1, 120);
            switch (pick(1, 4)) {
            case 4: {  // sorted, disjoint runs with gaps, as most writers lay them out
                std::vector<BedGraphItem> items;
                for (std::uint32_t at = pick(0, len / 2); items.size() < n && at < len;) {
                    std::uint32_t b = std::min(len, at + pick(1, 40));
                    items.push_back({at, b, static_cast<float>(pick(0, 100)) / 8});
                    model.run(ci, at, b, items.back().value);
                    at = b + pick(0, 1) * pick(1, 30);
                }
                sections.push_back(bedgraph_section(chroms[ci].name, items));
                break;
            }
            case 1: {
                std::vector<BedGraphItem> items;
                for (std::uint32_t i = 0; i < n; ++i) {
                    std::uint32_t a = pick(0, len - 1), b = std::min(len, a + pick(1, 60));
                    items.push_back({a, b, static_cast<float>(pick(0, 100)) / 4});
                    model.run(ci, a, b, items.back().value);
                }
                sections.push_back(bedgraph_section(chroms[ci].name, items));
                break;
            }
            case 2: {
                std::uint32_t span = pick(0, 20);
                std::vector<VariableStepItem> items;
                for (std::uint32_t i = 0; i < n; ++i) {
                    std::uint32_t a = pick(0, len - 1);
                    items.push_back({a, -static_cast<float>(pick(0, 100))});
                    model.run(ci, a, std::uint64_t{a} + span, items.back().value);
                }
                sections.push_back(variablestep_section(chroms[ci].name, span, items));
                break;
            }
            default: {
                std::uint32_t start = pick(0, len - 1), step = pick(1, 30), span = pick(0, 40);
                std::vector<float> values;
                for (std::uint32_t i = 0; i < n; ++i) {
                    values.push_back(static_cast<float>(pick(0, 1000)) / 8);
                    std::uint64_t at = std::uint64_t{start} + std::uint64_t{i} * step;
                    model.run(ci, at, at + span, values.back());
                }
                sections.push_back(fixedstep_section(chroms[ci].name, start, step, span, values));
                break;
            }
            }
        }

        BigWigOptions o;
        o.big_endian = pick(0, 1);
        o.compress = pick(0, 1);
        o.items_per_block = pick(1, 40);
        o.chrom_tree_fanout = pick(2, 5);
        o.rtree_fanout = pick(2, 6);
        BigWigReader r = open_bytes(bigwig_bytes(chroms, sections, o));
        ASSERT_EQ(r.chroms().size(), chroms.size());

        // Sorted windows (the cache's best case), then random ones.
        for (int q = 0; q < 80; ++q) {
            std::uint32_t ci = q < 40 ? static_cast<std::uint32_t>(q * nchroms / 40) : pick(0, nchroms - 1);
            std::uint32_t len = chroms[ci].length;
            std::uint32_t a = q < 40 ? static_cast<std::uint32_t>((q * 97) % len) : pick(0, len - 1);
            std::uint32_t b = pick(a + 1, len);
            std::vector<float> want(model.bases[ci].begin() + a, model.bases[ci].begin() + b);
            std::vector<float> got = query(r, chroms[ci].name, a, b);
            ASSERT_TRUE(same(got, want)) << "round " << round << " " << chroms[ci].name << ":" << a << "-" << b
                                         << "\n got " << show(got) << "\nwant " << show(want);
        }
    }
}

}  // namespace
}  // namespace binscope
