// params_test.cpp - turning the parsed command line into run parameters.
#include "params.hpp"
#include "params_from_cli.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <tuple>

namespace binscope {
namespace {

Cli reference_point(std::string point = "TSS", std::string average = "mean") {
    ReferencePoint rp;
    rp.common.average_type_bins = std::move(average);
    rp.reference_point = std::move(point);
    return Cli{rp};
}

template <class T>
std::string error_of(const Result<T>& result) {
    if (result) {
        ADD_FAILURE() << "the conversion succeeded";
        return {};
    }
    return result.error().message();
}

TEST(Params, ReferencePointAndStatisticWords) {
    for (const auto& [word, point] : {std::pair{"center", RefPoint::Center}, {"CENTER", RefPoint::Center},
                                      {"tss", RefPoint::TSS}, {"Tes", RefPoint::TES}})
        EXPECT_EQ(make_params(reference_point(word))->referencePoint, point) << word;
    const auto middle = make_params(reference_point("middle"));
    EXPECT_EQ(error_of(middle), "Unknown reference point: MIDDLE");
    EXPECT_TRUE(middle.error().causes().empty());
    // Only ASCII letters change case.
    EXPECT_EQ(error_of(make_params(reference_point("t\xc3\xa9s"))), "Unknown reference point: T\xc3\xa9S");
    // The statistic keeps its case (the run's refusal of "Median" is the driver tests'), and is checked second.
    EXPECT_EQ(make_params(reference_point("TSS", "std"))->averageTypeBins, AverageType::Std);
    EXPECT_EQ(error_of(make_params(reference_point("x", "y"))), "Unknown reference point: X");
}

TEST(Params, SubcommandFieldsAndProcessors) {
    Cli cli = reference_point();
    std::get<ReferencePoint>(cli.command).common.number_of_processors = 0;
    std::get<ReferencePoint>(cli.command).common.sort_regions = "DESCEND";
    const Params rp = *make_params(cli);
    EXPECT_EQ(std::tuple(rp.numberOfProcessors, rp.sortRegions, rp.regionBodyLength, bins_per_sample(rp)),
              std::tuple(1u, "DESCEND", 0, 200));  // the sort word as entered

    Cli scaled = Cli{ScaleRegions{}};
    std::get<ScaleRegions>(scaled.command).common.number_of_processors = 64;
    const Params sr = *make_params(scaled);
    EXPECT_EQ(std::tuple(sr.referencePoint, sr.numberOfProcessors, bins_per_sample(sr)),
              std::tuple(std::nullopt, 64u, 300));

    std::get<ReferencePoint>(cli.command).common.bin_size = 3;
    EXPECT_EQ(bins_per_sample(*make_params(cli)), 666);
}

TEST(Params, SortWordsNeverFail) {
    EXPECT_EQ(parse_sort_regions("DESCEND"), SortRegions::Descend);
    EXPECT_EQ(parse_sort_regions("random"), SortRegions::Keep);
    EXPECT_EQ(parse_sort_regions(""), SortRegions::Keep);
    EXPECT_EQ(parse_sort_using("Region_Length"), SortUsing::RegionLength);
    EXPECT_EQ(parse_sort_using("mode"), SortUsing::Mean);
}

// "I/N" names one of N parts; the parts cover every row once, differ in
// size by one row at most, and hold counts of any size.
TEST(Params, ChunksOfARun) {
    const std::pair<const char*, bool> texts[] = {{"1/1", true},   {"3/3", true},  {"+2/07", true},
                                                  {"0/3", false},  {"4/3", false}, {"1/0", false},
                                                  {"1", false},    {"1/", false},  {"/2", false},
                                                  {"1/2/3", false}, {"-1/2", false}, {"a/b", false}};
    for (const auto& [text, valid] : texts) EXPECT_EQ(parse_chunk(text).has_value(), valid) << text;
    EXPECT_EQ(error_of(parse_chunk("0/3")), "expected I/N, the I-th of N parts, with 1 <= I <= N");

    for (const std::size_t rows : {0ul, 1ul, 7ul, 100ul}) {
        for (const std::size_t count : {1ul, 3ul, 8ul, 150ul}) {
            std::size_t next = 0;
            for (std::size_t i = 1; i <= count; ++i) {
                const auto [first, last] = chunk_rows(Chunk{i, count}, rows);
                EXPECT_EQ(first, next) << rows << " " << i << "/" << count;
                EXPECT_LE(last - first, rows / count + 1);
                EXPECT_GE(last - first, rows / count);
                next = last;
            }
            EXPECT_EQ(next, rows);
        }
    }
    const std::size_t huge = std::numeric_limits<std::size_t>::max();
    EXPECT_EQ(chunk_rows(Chunk{huge - 1, huge}, huge), std::pair(huge - 2, huge - 1));

    // The run's sort becomes the chunk's "keep"; its other texts stay as given.
    Cli cli = reference_point();
    auto& common = std::get<ReferencePoint>(cli.command).common;
    common.chunk = "2/5";
    for (const auto& [asked, recorded] : {std::pair("Descend", "keep"), {"ascend", "keep"}, {"no", "no"}}) {
        common.sort_regions = asked;
        EXPECT_EQ(make_params(cli)->sortRegions, recorded);
    }
    EXPECT_EQ(make_params(cli)->chunk->index, 2u);
    common.chunk = "6/5";
    EXPECT_EQ(error_of(make_params(cli)),
              "Invalid --chunk: 6/5 (expected I/N, the I-th of N parts, with 1 <= I <= N)");
}

// Bin sizes below 1, negative lengths and length sums beyond 64 bits have
// no layout; they are refused with the option and the value named.
TEST(Params, RefusesLengthsWithoutALayout) {
    Cli cli = reference_point();
    auto& common = std::get<ReferencePoint>(cli.command).common;
    common.bin_size = 0;
    EXPECT_EQ(error_of(make_params(cli)), "Invalid --binSize: 0 (must be at least 1)");
    common.bin_size = -10;
    EXPECT_NE(error_of(make_params(cli)).find("--binSize: -10"), std::string::npos);
    common.bin_size = 10;
    common.after_region_start_length = -1;
    EXPECT_NE(error_of(make_params(cli)).find("--afterRegionStartLength: -1"), std::string::npos);

    Cli scaled = Cli{ScaleRegions{}};
    auto& sr = std::get<ScaleRegions>(scaled.command);
    sr.unscaled_3_prime = -7;
    EXPECT_NE(error_of(make_params(scaled)).find("--unscaled3prime: -7"), std::string::npos);
    sr.unscaled_3_prime = 0;
    sr.common.before_region_start_length = std::numeric_limits<std::int64_t>::max();
    EXPECT_NE(error_of(make_params(scaled)).find("--afterRegionStartLength: 1500"), std::string::npos);
    sr.common.after_region_start_length = 0;
    sr.region_body_length = 0;
    EXPECT_TRUE(make_params(scaled).has_value());  // exactly the largest sum
}

}  // namespace
}  // namespace binscope
