// determinism_test.cpp - the executable's three outputs and its standard
// error do not depend on the number of worker threads (apart from the
// matrix header's record of that number).
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/bigwig_writer.hpp"
#include "support/matrix_reads_back.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

// The matrix file's text without the thread count its header records (as
// "proc number"): the one place a thread count may show.
std::string matrix_text_without_thread_count(const std::string& path) {
    std::string text = read_gzip_file(path);
    const std::size_t at = text.find("\"proc number\":");
    if (at < text.find('\n')) text.erase(at, text.find(',', at) - at);
    return text;
}

// Three score files: one with every chromosome, one naming them without
// "chr" (so names are matched through their alternates), and one without
// chr3. Records are random runs, in small blocks, so that every thread's
// readers and block caches see different histories.
class Determinism : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 rng(20240611);
        const std::uint32_t lengths[] = {200000, 150000, 120000};
        auto records = [&](std::uint32_t length) {
            std::vector<BedGraphItem> items;
            for (std::uint32_t at = rng() % 50; at + 10 < length;) {
                const std::uint32_t end = std::min<std::uint32_t>(length, at + 1 + rng() % 400);
                items.push_back({at, end, static_cast<float>(static_cast<int>(rng() % 2001) - 1000) / 16.0f});
                at = end + rng() % 300;
            }
            return items;
        };
        const BigWigOptions small_blocks{.items_per_block = 64, .rtree_fanout = 8};
        const char* names[][3] = {{"chr1", "chr2", "chr3"}, {"1", "2", "3"}};
        for (int f = 0; f < 2; ++f) {
            std::vector<BigWigChrom> chroms;
            std::vector<BigWigSection> sections;
            for (int c = 0; c < 3; ++c) {
                chroms.push_back({names[f][c], lengths[c]});
                sections.push_back(bedgraph_section(names[f][c], records(lengths[c])));
            }
            write_bigwig(dir_.path() / fmt::format("s{}.bw", f + 1), chroms, sections, small_blocks);
        }
        write_bigwig(dir_.path() / "s3.bw", {{"chr2", lengths[1]}, {"chr1", lengths[0]}},
                     {fixedstep_section("chr1", 5, 20, 15, std::vector<float>(9000, 1.25f)),
                      variablestep_section("chr2", 7, {{100, 2.0f}, {5000, -3.0f}, {149990, 4.0f}})},
                     small_blocks);

        // 3000 regions in three groups, some reaching past the chromosome
        // ends or starting near 0, on both strands, some with several blocks.
        std::string bed;
        for (int g = 0; g < 3; ++g) {
            bed += "# group " + std::to_string(g) + "\n";
            for (int i = 0; i < 1000; ++i) {
                const int c = static_cast<int>(rng() % 3);
                const std::int64_t start = static_cast<std::int64_t>(rng() % (lengths[c] + 2000)) - 1000;
                const std::int64_t length = 1 + rng() % 6000;
                const std::int64_t s = std::max<std::int64_t>(start, 0), e = s + length;
                bed += fmt::format("chr{}\t{}\t{}\tr{}_{}\t0\t{}\t{}\t{}\t0\t2\t{},{},\t0,{},\n", c + 1, s, e, g, i,
                                   "+-."[rng() % 3], s, e, length / 3, length / 3, length - length / 3);
            }
        }
        write_file(dir_.file("regions.bed"), bed);
    }

    // Standard error and the three outputs of a successful run.
    std::vector<std::string> run(std::vector<std::string> args, const std::string& threads) {
        args.insert(args.end(), {"-S", dir_.file("s1.bw"), dir_.file("s2.bw"), dir_.file("s3.bw"), "-R",
                                 dir_.file("regions.bed"), "-o", dir_.file("m.gz"), "--outFileNameMatrix",
                                 dir_.file("v.txt"), "--outFileSortedRegions", dir_.file("s.bed"), "-p", threads});
        const ProcessResult r = run_binscope(args);
        if (r.status != 0) return {r.err};
        expect_matrix_reads_back(dir_.file("m.gz"));
        return {r.err, matrix_text_without_thread_count(dir_.file("m.gz")), read_file(dir_.file("v.txt")),
                read_file(dir_.file("s.bed"))};
    }

    TempDir dir_;
};

TEST_F(Determinism, OutputsAreByteIdenticalForOneTwoThreeAndEightThreads) {
    const std::vector<std::vector<std::string>> modes{
        {"reference-point", "--referencePoint", "center", "-b", "700", "-a", "900", "--binSize", "20",
         "--averageTypeBins", "median", "--sortRegions", "descend", "--sortUsing", "max"},
        {"scale-regions", "--metagene", "-m", "1200", "--unscaled5prime", "100", "--unscaled3prime", "60",
         "--binSize", "40", "--skipZeros", "--missingDataAsZero", "--sortRegions", "ascend", "--averageTypeBins",
         "std"},
    };
    for (const auto& mode : modes) {
        SCOPED_TRACE(mode.front());
        const auto one = run(mode, "1");
        ASSERT_EQ(one.size(), 4u) << one[0];
        EXPECT_NE(one[0].find("[binscope] Parsed 3000 region(s) in 4 group(s)"), std::string::npos) << one[0];
        EXPECT_EQ(one[1].find("\"proc number\""), std::string::npos);
        for (const std::string threads : {"2", "3", "8"}) {
            const auto other = run(mode, threads);
            EXPECT_TRUE(other == one) << "-p " << threads << ": " << other[0];
        }
    }
}

// A run scattered over N chunks: their rows, values and regions, one chunk
// after the other, are the whole run's, and every region is computed once
// (a chunk is never sorted, whatever the run asks for, and says so). Each
// file's first line is its header.
TEST_F(Determinism, ChunksJoinIntoTheWholeRun) {
    const std::vector<std::string> mode{"scale-regions", "--metagene", "-m", "900", "--binSize", "30",
                                        "--skipZeros", "--sortRegions", "keep"};
    const auto whole = run(mode, "2");
    ASSERT_EQ(whole.size(), 4u) << whole[0];
    const auto body = [](const std::string& text) { return text.substr(text.find('\n') + 1); };
    for (const std::size_t count : {3, 7}) {
        SCOPED_TRACE(count);
        std::vector<std::string> joined(4);
        for (std::size_t i = 1; i <= count; ++i) {
            auto args = mode;
            args.back() = "descend";
            args.insert(args.end(), {"--chunk", fmt::format("{}/{}", i, count)});
            const auto part = run(args, "3");
            ASSERT_EQ(part.size(), 4u) << part[0];
            EXPECT_NE(part[1].find("\"sort regions\":\"keep\""), std::string::npos);
            for (int f = 1; f < 4; ++f) joined[f] += body(part[f]);
        }
        for (int f = 1; f < 4; ++f) EXPECT_TRUE(joined[f] == body(whole[f])) << f;
    }
    // More parts than rows: the first is empty, a valid file of no rows.
    auto args = mode;
    args.insert(args.end(), {"--chunk", "1/4000"});
    const auto empty = run(args, "1");
    ASSERT_EQ(empty.size(), 4u) << empty[0];
    EXPECT_NE(empty[0].find("Chunk 1/4000: none of the 3000 regions"), std::string::npos) << empty[0];
    EXPECT_NE(empty[1].find("\"group_boundaries\":[0,0],\"group_labels\":[]"), std::string::npos);
    EXPECT_EQ(body(empty[1]), "");
}

}  // namespace
}  // namespace binscope
