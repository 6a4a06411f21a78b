// binning_test.cpp - rows computed from score runs against the plain
// per-base reference, bit for bit: random score files (sorted records, or
// overlapping and out of order ones; many small blocks; a broken block),
// random regions with metagene blocks, both strands, every layout and every
// statistic.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <random>

#include "binning.hpp"
#include "support/bigwig_writer.hpp"
#include "support/layout_inputs.hpp"
#include "support/reference_row.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

std::uint32_t pick(std::mt19937& rng, std::uint32_t n) { return static_cast<std::uint32_t>(rng() % n); }

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
    if (pick(rng, 2) == 0) std::ranges::sort(r.blocks, {}, &Block::start);
    return r;
}

// What a worker keeps from one row to the next.
struct Worker {
    ReaderCache readers;
    ZoneLayout layout;
    ZoneScratch zones;
    BinScratch bins;
};

// The product's row (through a worker's readers and buffers, reused row
// after row) and the reference row (through a reader of its own) agree bit
// for bit.
void expect_same_row(Worker& w, BigWigReader& reader, const Sample& sample, const Region& region, const Params& p) {
    if (!compute_zones(region, p, w.layout, w.zones)) return;
    const ZoneLayout& layout = w.layout;
    std::vector<float> row(static_cast<std::size_t>(bins_per_sample(p)));
    w.readers.open({sample.path});
    sample_bins(w.readers, w.bins, 0, sample, region, layout, p, row);
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
        BigWigOptions options{.big_endian = pick(rng, 2) == 0, .compress = pick(rng, 2) == 0,
                              .items_per_block = 1 + pick(rng, 40), .rtree_fanout = 2 + pick(rng, 6)};
        if (file % 8 == 5) {
            // Every read that meets the first block fails: no values at all.
            options.compress = true;
            options.breakage = BigWigBreak::BlockNotZlib;
        }
        const std::string path = dir.file(std::to_string(file) + ".bw");
        write_bigwig(path, {{"chr1", length}, {"2", length / 2}},
                     {random_section("chr1", length, disorder, rng), random_section("2", length / 2, disorder, rng)},
                     options);
        auto reader = BigWigReader::open(path);
        auto table = open_chrom_table(path);
        ASSERT_TRUE(reader && table);
        const Sample sample{path, "r", *table};
        Worker worker;
        for (int c = 0; c < 40; ++c) {
            const Region region = random_region(length, rng);
            Params p = random_params(rng);
            for (AverageType t : kAverageTypes)
                for (bool zero : {false, true}) {
                    p.averageTypeBins = t;
                    p.missingDataAsZero = zero;
                    expect_same_row(worker, *reader, sample, region, p);
                }
        }
    }
}

TEST(RowFromRuns, BinsOfMoreRunsThanKeptAndOverlapsPaintedInWindows) {
    // 300,000 runs of one base in a single bin: the std reads its runs
    // twice, and the median merges equal values until 150,001 distinct ones
    // make it read them three times; the overlapping records
    // at the end make the whole chromosome be painted a window at a time.
    std::vector<BedGraphItem> items;
    for (std::uint32_t i = 0; i < 300000; ++i) items.push_back({i, i + 1, static_cast<float>(i % 150001) * 0.3f});
    items.push_back({150000, 150010, 5.0f});
    TempDir dir;
    const std::string path = dir.file("long.bw");
    write_bigwig(path, {{"chr1", 300000}}, {bedgraph_section("chr1", items)});
    auto reader = BigWigReader::open(path);
    auto table = open_chrom_table(path);
    ASSERT_TRUE(reader && table);
    Params p = scaled(0, 0, 1000, 0, 0, 1000);
    const Region r = region({{0, 300000}}, U'.');
    Worker worker;
    for (AverageType t : kAverageTypes) {
        p.averageTypeBins = t;
        expect_same_row(worker, *reader, Sample{path, "long", *table}, r, p);
    }
}

}  // namespace
}  // namespace binscope
