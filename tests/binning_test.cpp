// binning_test.cpp - bins under 16 bases take a faster way to
// their mean and sum; every one must equal the general statistic of its
// bases, bit for bit.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <random>

#include "bigwig/reader.hpp"
#include "bigwig_reader.hpp"
#include "matrix/compute.hpp"
#include "support/bigwig_writer.hpp"
#include "support/reference_statistic.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

TEST(ShortBins, MeanAndSumEqualTheGeneralStatistic) {
    // Runs of 1 to 6 bases: values of mixed magnitudes, -0.0, and gaps
    // without data.
    std::mt19937 rng(17);
    std::vector<BedGraphItem> items;
    for (std::uint32_t at = 0; at < 20000;) {
        const std::uint32_t end = std::min<std::uint32_t>(20000, at + 1 + rng() % 6);
        const auto kind = rng() % 8;
        if (kind != 0) {
            const float v = kind == 1 ? -0.0f : std::ldexp(static_cast<float>(rng() % 20001) - 10000.0f, -static_cast<int>(rng() % 30));
            items.push_back({at, end, v});
        }
        at = end;
    }
    TempDir dir;
    const std::string path = dir.file("noisy.bw");
    write_bigwig(path, {{"chr1", 20000}}, {bedgraph_section("chr1", items)});
    auto table = open_chrom_table(path);
    ASSERT_TRUE(table);
    const std::vector<Sample> samples{Sample{path, "noisy", *table}};
    const std::vector<std::string> paths{path};
    auto reader = BigWigReader::open(path);
    ASSERT_TRUE(reader);
    const auto bases = reader->values("chr1", 0, 20000);
    ASSERT_TRUE(bases);

    auto check = [&](const Region& region, const Params& p, const std::vector<std::pair<std::int64_t, std::int64_t>>& bins) {
        auto row = build_matrix(RegionSet{{region}, {"genes"}}, samples, paths, p);
        ASSERT_TRUE(row);
        ASSERT_EQ(row->values.size(), bins.size());
        for (std::size_t c = 0; c < bins.size(); ++c) {
            std::vector<float> v(bases->begin() + bins[c].first, bases->begin() + bins[c].second);
            if (p.missingDataAsZero)
                for (float& x : v)
                    if (std::isnan(x)) x = 0.0f;
            EXPECT_EQ(std::bit_cast<std::uint32_t>(row->values[c]),
                      std::bit_cast<std::uint32_t>(reference_statistic(v, p.averageTypeBins)))
                << "bin size " << p.binSize << ", column " << c;
        }
    };

    for (AverageType type : {AverageType::Mean, AverageType::Sum})
        for (bool zero : {false, true})
            for (std::int64_t size = 1; size <= 17; ++size) {
                // Zones of whole bins, on both strands.
                Params p;
                p.averageTypeBins = type;
                p.missingDataAsZero = zero;
                p.binSize = size;
                p.referencePoint = RefPoint::TSS;
                p.beforeRegionStartLength = 8 * size;
                p.afterRegionStartLength = 17 * size;
                std::vector<std::pair<std::int64_t, std::int64_t>> forward, reverse;
                for (std::int64_t c = 0; c < 25; ++c) {
                    forward.emplace_back(5000 - 8 * size + c * size, 5000 - 8 * size + (c + 1) * size);
                    reverse.emplace_back(9000 + 8 * size - (c + 1) * size, 9000 + 8 * size - c * size);
                }
                Region r;
                r.chrom = "chr1";
                r.blocks = {{5000, 9000}};
                r.strand = U'+';
                check(r, p, forward);
                r.strand = U'-';
                check(r, p, reverse);

                // A body scaled to bins of uneven lengths.
                Params s = p;
                s.referencePoint.reset();
                s.beforeRegionStartLength = s.afterRegionStartLength = 0;
                s.regionBodyLength = 30 * size;
                r.strand = U'+';
                r.blocks = {{3001, 3001 + 101}};
                std::vector<std::pair<std::int64_t, std::int64_t>> body;
                const double step = 101.0 / 30.0;
                for (int c = 0; c < 30; ++c)
                    body.emplace_back(3001 + static_cast<std::int64_t>(step * c),
                                      c == 29 ? 3102 : 3001 + static_cast<std::int64_t>(step * (c + 1)));
                check(r, s, body);
            }
}

}  // namespace
}  // namespace binscope
