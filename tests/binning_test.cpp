// binning_test.cpp - rows computed from score runs against the plain
// per-base reference, bit for bit: random score files (sorted records, or
// overlapping and out of order ones; many small blocks; a broken block),
// random regions with metagene blocks, both strands, every layout and every
// statistic.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <random>

#include "binning.hpp"
#include "support/bigwig_writer.hpp"
#include "support/reference_row.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

constexpr AverageType kTypes[] = {AverageType::Mean, AverageType::Median, AverageType::Min,
                                  AverageType::Max,  AverageType::Sum,    AverageType::Std};

std::uint32_t pick(std::mt19937& rng, std::uint32_t n) { return static_cast<std::uint32_t>(rng() % n); }

// Mixed magnitudes and signs, both zeros and, rarely, NaN records.
float random_value(std::mt19937& rng) {
    switch (pick(rng, 12)) {
        case 0: return -0.0f;
        case 1: return 0.0f;
        case 2: return std::numeric_limits<float>::quiet_NaN();
        default:
            return std::ldexp(static_cast<float>(static_cast<int>(pick(rng, 20001)) - 10000),
                              -static_cast<int>(pick(rng, 30)));
    }
}

// Runs of 1 to 8 or up to 300 bases with gaps, in one of the three section
// types; `disorder` makes some records overlap others or go back.
BigWigSection random_section(const std::string& chrom, std::uint32_t length, bool disorder, std::mt19937& rng) {
    const std::uint32_t type = pick(rng, 3), span = 1 + pick(rng, 12);
    std::vector<BedGraphItem> items;
    for (std::uint32_t at = pick(rng, 40); at + span < length;) {
        const std::uint32_t run = type == 0 ? 1 + pick(rng, pick(rng, 4) == 0 ? 300 : 8) : span;
        items.push_back({at, std::min(length, at + run), random_value(rng)});
        at += run + (pick(rng, 3) == 0 ? pick(rng, 50) : 0);
    }
    if (disorder)
        for (std::size_t k = 0; k < items.size() / 10; ++k) {
            BedGraphItem extra = items[pick(rng, static_cast<std::uint32_t>(items.size()))];
            extra.start -= std::min(extra.start, pick(rng, 30));
            extra.value = random_value(rng);
            items.insert(items.begin() + pick(rng, static_cast<std::uint32_t>(items.size())), extra);
        }
    if (type == 0) return bedgraph_section(chrom, items);
    std::vector<VariableStepItem> variable;
    for (const BedGraphItem& i : items) variable.push_back({i.start, i.value});
    if (type == 1 || disorder) return variablestep_section(chrom, span, variable);
    std::vector<float> fixed;
    for (const BedGraphItem& i : items) fixed.push_back(i.value);
    return fixedstep_section(chrom, items.empty() ? 0 : items[0].start, span + pick(rng, 3), span, fixed);
}

Params random_params(std::mt19937& rng) {
    Params p;
    p.binSize = 1 + pick(rng, pick(rng, 3) == 0 ? 60 : 12);
    p.beforeRegionStartLength = pick(rng, 4) == 0 ? 0 : pick(rng, 400);
    p.afterRegionStartLength = pick(rng, 4) == 0 ? 0 : pick(rng, 400);
    if (pick(rng, 2) == 0) {
        p.regionBodyLength = 1 + pick(rng, 500);
        p.unscaled5prime = pick(rng, 3) == 0 ? pick(rng, 150) : 0;
        p.unscaled3prime = pick(rng, 3) == 0 ? pick(rng, 150) : 0;
    } else {
        p.referencePoint = std::array{RefPoint::TSS, RefPoint::TES, RefPoint::Center}[pick(rng, 3)];
    }
    p.nanAfterEnd = pick(rng, 2) == 0;
    return p;
}

// One to four blocks, overlapping and out of order at times, often near
// either end of a chromosome of `length` bases.
Region random_region(std::uint32_t length, std::mt19937& rng) {
    Region r;
    r.chrom = std::array{"chr1", "chr1", "chr1", "chr2", "chrX"}[pick(rng, 5)];
    r.strand = pick(rng, 2) == 0 ? U'+' : U'-';
    const std::int64_t anchor = pick(rng, 3) == 0 ? 0 : pick(rng, 3) == 0 ? length : pick(rng, length);
    for (std::uint32_t k = 1 + pick(rng, 4); k > 0; --k) {
        const std::int64_t start = anchor + static_cast<std::int64_t>(pick(rng, 1200)) - 600;
        r.blocks.push_back({start, start + 1 + pick(rng, 700)});
    }
    if (pick(rng, 2) == 0) std::sort(r.blocks.begin(), r.blocks.end(), [](const Block& a, const Block& b) {
        return a.start < b.start;
    });
    return r;
}

void expect_same_row(BigWigReader& reader, const Sample& sample, const Region& region, const Params& p) {
    ZoneLayout layout;
    if (!compute_zones(region, p, layout)) return;
    std::vector<float> row(static_cast<std::size_t>(bins_per_sample(p)));
    sample_bins(&reader, sample, region, layout, p, row);
    const std::vector<float> want = reference_row(reader, sample, region, layout, p);
    ASSERT_EQ(row.size(), want.size());
    for (std::size_t c = 0; c < row.size(); ++c)
        ASSERT_EQ(std::bit_cast<std::uint32_t>(row[c]), std::bit_cast<std::uint32_t>(want[c]))
            << "column " << c << " of " << row.size() << ", " << region.chrom << " " << region.blocks[0].start << " "
            << static_cast<char>(region.strand) << ", type " << static_cast<int>(p.averageTypeBins) << ", bin "
            << p.binSize << ", body " << p.regionBodyLength << ", zero " << p.missingDataAsZero;
}

TEST(RowFromRuns, EqualsThePerBaseReferenceBitForBit) {
    std::mt19937 rng(2024);
    TempDir dir;
    for (int file = 0; file < 16; ++file) {
        const std::uint32_t length = 1500 + pick(rng, 5000);
        const bool disorder = file % 4 == 3;
        BigWigOptions options;
        options.big_endian = pick(rng, 2) == 0;
        options.compress = pick(rng, 2) == 0;
        options.items_per_block = 1 + pick(rng, 40);
        options.rtree_fanout = 2 + pick(rng, 6);
        if (file % 8 == 5) {
            // Every read that meets the first block fails: no values at all.
            options.compress = true;
            options.breakage = BigWigBreak::BlockNotZlib;
        }
        const std::string path = dir.file("r" + std::to_string(file) + ".bw");
        write_bigwig(path, {{"chr1", length}, {"2", length / 2}},
                     {random_section("chr1", length, disorder, rng), random_section("2", length / 2, disorder, rng)},
                     options);
        auto reader = BigWigReader::open(path);
        auto table = open_chrom_table(path);
        ASSERT_TRUE(reader && table);
        const Sample sample{path, "r", *table};
        for (int c = 0; c < 40; ++c) {
            const Region region = random_region(length, rng);
            Params p = random_params(rng);
            for (AverageType t : kTypes)
                for (bool zero : {false, true}) {
                    p.averageTypeBins = t;
                    p.missingDataAsZero = zero;
                    expect_same_row(*reader, sample, region, p);
                }
        }
    }
}

TEST(RowFromRuns, BinsOfMoreRunsThanKeptAndOverlapsPaintedInWindows) {
    // 300,000 runs of one base in a single bin: the std reads its runs
    // twice and the median merges equal values; the overlapping records
    // at the end make the whole chromosome be painted a window at a time.
    std::vector<BedGraphItem> items;
    for (std::uint32_t i = 0; i < 300000; ++i) items.push_back({i, i + 1, static_cast<float>(i % 7) * 0.3f});
    items.push_back({150000, 150010, 5.0f});
    TempDir dir;
    const std::string path = dir.file("long.bw");
    write_bigwig(path, {{"chr1", 300000}}, {bedgraph_section("chr1", items)});
    auto reader = BigWigReader::open(path);
    auto table = open_chrom_table(path);
    ASSERT_TRUE(reader && table);
    Params p;
    p.regionBodyLength = p.binSize = 1000;
    p.beforeRegionStartLength = p.afterRegionStartLength = 0;
    Region r;
    r.chrom = "chr1";
    r.blocks = {{0, 300000}};
    for (AverageType t : kTypes) {
        p.averageTypeBins = t;
        expect_same_row(*reader, Sample{path, "long", *table}, r, p);
    }
}

}  // namespace
}  // namespace binscope
