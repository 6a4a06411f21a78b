// compute_test.cpp - whole rows computed from score files written by the
// tests: chromosome names, failing files, thresholds, huge lengths, and the
// assembly of the matrix.
#include <gtest/gtest.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <limits>
#include <tuple>

#include "binning.hpp"
#include "binning_aggregate.hpp"
#include "bigwig_reader.hpp"
#include "matrix/compute.hpp"
#include "support/bigwig_writer.hpp"
#include "support/layout_inputs.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;
using Blocks = std::vector<Block>;
using Row = std::vector<float>;

const float nan = missing_value();

// chr1 (1000 bases): every base's score is its position, except the
// uncovered bases 600 to 699. A second file names its chromosome "1" and
// scores 2.0 everywhere, and has MT (3.0) and chrMT (5.0).
class Compute : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        std::vector<BedGraphItem> ramp;
        for (std::uint32_t i = 0; i < 1000; ++i)
            if (i < 600 || i >= 700) ramp.push_back({i, i + 1, static_cast<float>(i)});
        write_bigwig(dir_->file("ramp.bw"), {{"chr1", 1000}}, {bedgraph_section("chr1", ramp)});
        write_bigwig(dir_->file("flat.bw"), {{"1", 1000}, {"MT", 100}, {"chrMT", 100}},
                     {bedgraph_section("1", {{0, 1000, 2.0f}}), bedgraph_section("MT", {{0, 100, 3.0f}}),
                      bedgraph_section("chrMT", {{0, 100, 5.0f}})});
    }
    static void TearDownTestSuite() { delete dir_; }

    static Sample sample(const std::string& file) {
        auto table = open_chrom_table(dir_->file(file));
        EXPECT_TRUE(table);
        return Sample{dir_->file(file), file, *table};
    }

    // One region's row against the given files, or nothing when rejected.
    static std::optional<Row> row(const Region& r, const Params& p, std::vector<std::string> files = {"ramp.bw"}) {
        std::vector<Sample> samples;
        std::vector<std::string> paths;
        for (const auto& f : files) {
            samples.push_back(sample(f));
            paths.push_back(dir_->file(f));
        }
        auto m = build_matrix(RegionSet{{r}, {"genes"}}, samples, paths, p);
        EXPECT_TRUE(m);
        if (!m || m->rows() == 0) return std::nullopt;
        return Row(m->values.begin(), m->values.end());
    }

    static inline TempDir* dir_ = nullptr;
};

// Bitwise equality, so that NaN equals NaN and -0.0 differs from 0.0.
void expect_row(const std::optional<Row>& got, const Row& want) {
    ASSERT_TRUE(got);
    ASSERT_EQ(got->size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>((*got)[i]), std::bit_cast<std::uint32_t>(want[i]))
            << "column " << i << ": " << (*got)[i] << " != " << want[i];
}

TEST_F(Compute, ChromosomeNamesMissingFilesThresholdsAndScale) {
    Params p = reference(RefPoint::TSS, 0, 20);
    // "chr1" is found as "1" in the second file; chrX in neither.
    expect_row(row(region({{0, 50}}), p, {"ramp.bw", "flat.bw"}), Row{4.5f, 14.5f, 2, 2});
    expect_row(row(region({{0, 50}}, U'+', "1"), p, {"ramp.bw", "flat.bw"}), Row{4.5f, 14.5f, 2, 2});
    expect_row(row(region({{0, 50}}, U'+', "chrX"), p, {"ramp.bw", "flat.bw"}), Row{nan, nan, nan, nan});
    // "chrM", "M" and "MT" find one another; a name the file holds is
    // taken as it stands.
    for (const char* name : {"chrM", "M", "MT"})
        expect_row(row(region({{0, 50}}, U'+', name), p, {"flat.bw"}), Row{3, 3});
    expect_row(row(region({{0, 50}}, U'+', "chrMT"), p, {"flat.bw"}), Row{5, 5});
    // A file that fails on the worker gives a row without data.
    auto missing = build_matrix(RegionSet{{region({{0, 50}})}, {"genes"}}, {sample("ramp.bw")},
                                {dir_->file("gone.bw")}, p);
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->no_data_rows, 1u);

    // Thresholds judge unscaled values; scale is rounded to a float.
    p.maxThreshold = 15.0;
    p.scale = 0.1;
    expect_row(row(region({{0, 50}}), p), Row{4.5f * 0.1f, 14.5f * 0.1f});
    p.maxThreshold = 14.5;
    EXPECT_FALSE(row(region({{0, 50}}), p));
}

TEST_F(Compute, HugeLengthsStayWithinTheChromosome) {
    // A region of 10^15 bases and flanks of 10^15 bases: only the
    // chromosome's bases are ever held in memory, and nothing hangs.
    Params p = scaled(1'000'000'000'000'000, 10, 1'000'000'000'000'000, 0, 0, 100'000'000'000'000);
    p.missingDataAsZero = true;
    for (AverageType t : {AverageType::Std, AverageType::Median, AverageType::Mean}) {
        p.averageTypeBins = t;
        auto r = row(region({{500, 1'000'000'000'000'000}}), p);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->size(), 20u);
    }
    // Inverted and empty blocks give rows, not crashes.
    for (RefPoint point : {RefPoint::TSS, RefPoint::TES, RefPoint::Center})
        for (Strand s : {U'+', U'-'}) {
            EXPECT_TRUE(row(region({{500, 100}}, s), reference(point, 30, 30)));
            EXPECT_TRUE(row(region({{500, 500}, {600, 590}}, s), reference(point, 30, 30)));
        }
}

class BuildMatrix : public Compute {};

TEST_F(BuildMatrix, RowsInGroupOrderWithBoundariesAndNoDataCount) {
    RegionSet set;
    set.groups = {"g0", "g1", "empty"};
    set.regions = {region({{100, 200}}, U'+', "chr1", 1), region({{300, 400}}, U'+', "chrX", 0),
                   region({{500, 600}}, U'+', "chr1", 1)};
    std::vector<Sample> samples{sample("ramp.bw"), sample("flat.bw")};
    samples[1].label = "flat";
    std::vector<std::string> paths{dir_->file("ramp.bw"), dir_->file("flat.bw")};
    Params p = reference(RefPoint::TSS, 0, 20);
    p.numberOfProcessors = 8;
    auto m = build_matrix(set, samples, paths, p);
    ASSERT_TRUE(m);
    ASSERT_EQ(m->rows(), 3u);
    EXPECT_EQ(std::tuple(m->cols, m->region(0).start(), m->region(1).start(), m->no_data_rows),
              std::tuple(4u, 300, 100, 1u));
    EXPECT_EQ(m->group_boundaries, (std::vector<std::size_t>{0, 1, 3}));
    EXPECT_EQ(m->region_set.groups, set.groups);
    EXPECT_EQ(m->sample_labels, (std::vector<std::string>{"ramp.bw", "flat"}));
    EXPECT_EQ(m->values[4], 104.5f);
    EXPECT_EQ(m->values[7], 2.0f);

    // A rejected row is left out; when none survives the matrix is empty.
    p.maxThreshold = 110.0;
    m = build_matrix(set, samples, paths, p);
    ASSERT_EQ(m->rows(), 1u);
    EXPECT_EQ(m->values.size(), 4u);
    EXPECT_TRUE(std::isnan(m->values[0]));
    p.maxThreshold.reset();
    p.minThreshold = std::numeric_limits<double>::infinity();
    m = build_matrix(set, samples, paths, p);
    EXPECT_EQ(std::tuple(m->rows(), m->values.size(), m->cols, m->no_data_rows), std::tuple(0u, 0u, 4u, 0u));
    EXPECT_EQ(m->group_boundaries, (std::vector<std::size_t>{0, 0}));
}

TEST_F(BuildMatrix, ARaisedCancelFlagStopsTheRunAsInterrupted) {
    RegionSet set;
    set.groups = {"genes"};
    for (int i = 0; i < 200; ++i) set.regions.push_back(region({{100, 200}}));
    std::vector<Sample> samples{sample("ramp.bw")};
    std::vector<std::string> paths{dir_->file("ramp.bw")};
    Params p = reference(RefPoint::TSS, 0, 20);
    p.numberOfProcessors = 3;
    std::atomic<bool> cancel{false};
    auto whole = build_matrix(set, samples, paths, p, &cancel);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->rows(), 200u);
    cancel = true;
    auto stopped = build_matrix(set, samples, paths, p, &cancel);
    ASSERT_FALSE(stopped);
    EXPECT_EQ(stopped.error().message(), "Interrupted");
}

}  // namespace
}  // namespace binscope
