// file_header_test.cpp - opening score files: byte orders, header, zoom
// headers, the chromosome tree walk, refusals, hostile trees and the quoted
// path of the "Error when opening: " line.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "bigwig/byte_source.hpp"
#include "bigwig/file_header.hpp"
#include "bigwig/reader.hpp"
#include "support/bigwig_writer.hpp"
#include "support/memory_reader.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

std::vector<BigWigChrom> seven_chroms() {
    return {{"chr1", 1000}, {"chr2", 2000},  {"chr3", 3000},          {"chrX", 400},
            {"chrY", 500},  {"chrM", 16569}, {"chrUn_gl000220", 1800}};
}

// Opens bytes from memory, swallowing the "Error when opening" line.
Result<BigWigReader> open_quietly(std::string bytes) {
    ::testing::internal::CaptureStderr();
    auto r = testing::open_memory(std::move(bytes), "mem.bw");
    ::testing::internal::GetCapturedStderr();
    return r;
}

// What an open gives: the failure's message (or "opened"), and the lines it
// wrote to standard error.
using Outcome = std::pair<std::string, std::string>;
template <class Open>
Outcome outcome(Open open) {
    ::testing::internal::CaptureStderr();
    auto r = open();
    std::string err = ::testing::internal::GetCapturedStderr();
    return {r ? "opened" : r.error().message(), err};
}

// The message of a failed open of bytes from memory, or "opened".
std::string open_error(const std::string& bytes) {
    return outcome([&] { return testing::open_memory(bytes, "mem.bw"); }).first;
}

// Names, ids and values over multi-level trees are the random query test's;
// here the published magic numbers and the zoom headers.
TEST(FileHeader, BothByteOrdersAndZoomHeaders) {
    for (bool big : {false, true}) {
        std::string bytes = bigwig_bytes(seven_chroms(), {}, {.big_endian = big, .zoom_levels = 3});
        // The magic bytes as published fix the order; the tree magic follows it.
        EXPECT_EQ(bytes.substr(0, 4), big ? "\x88\x8F\xFC\x26" : "\x26\xFC\x8F\x88");
        EXPECT_EQ(bytes.substr(64 + 3 * 24, 4), big ? "\x78\xCA\x8C\x91" : "\x91\x8C\xCA\x78");
        auto source = testing::memory_source(bytes);
        auto layout = bigwig::read_layout(*source);
        ASSERT_TRUE(layout.has_value()) << big;
        EXPECT_EQ(layout->order, big ? ByteOrder::Big : ByteOrder::Little);
        ASSERT_EQ(layout->zooms.size(), 3u);
        EXPECT_EQ(layout->zooms[2].reduction_level, 8u);
        EXPECT_EQ(layout->chroms.size(), 7u);
    }
}

TEST(FileHeader, NamesAreTrimmedOfOuterNulsAndKeptInTreeOrderWithDuplicates) {
    const std::vector<BigWigChrom> chroms = {{std::string("\0\0chr1", 6), 10}, {"", 20}, {std::string("ch\0r2", 5), 30},
                                             {"chr1", 40}, {"zz", 50}, {"aa", 60}};
    std::string bytes = bigwig_bytes(chroms, {}, {.chrom_tree_fanout = 2, .key_size = 8});
    // Any isLeaf value other than 1 is walked as a non-leaf node.
    std::uint64_t tree = static_cast<unsigned char>(bytes[8]) | static_cast<unsigned char>(bytes[9]) << 8;
    ASSERT_EQ(bytes[tree + 32], 0);
    bytes[tree + 32] = 2;
    auto r = testing::open_memory(bytes, "mem.bw");
    ASSERT_TRUE(r.has_value());
    std::vector<std::string> names;
    for (const auto& c : r->chroms()) names.push_back(c.name);
    EXPECT_EQ(names, (std::vector<std::string>{"chr1", "", std::string("ch\0r2", 5), "chr1", "zz", "aa"}));
    EXPECT_EQ(r->chroms()[3].length, 40u);

    // An empty tree opens, with no chromosome to query.
    auto empty = testing::open_memory(bigwig_bytes({}, {}), "mem.bw");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->chroms().empty());
}

TEST(FileHeader, BigBedIsRefusedOnlyAfterItsChromosomeTree) {
    for (bool big : {false, true}) {
        BigWigOptions o{.big_endian = big, .bigbed_magic = true};
        EXPECT_EQ(outcome([&] { return testing::open_memory(bigwig_bytes(seven_chroms(), {}, o), "x.bb"); }),
                  (Outcome{"NotABigWig", "Error when opening: \"x.bb\"\n"}));
        o.breakage = BigWigBreak::ChromTreeMagic;
        EXPECT_EQ(open_error(bigwig_bytes(seven_chroms(), {}, o)), "InvalidChroms");
    }
}

TEST(FileHeader, OpenFailuresCarryTheirTextsAndOnlyOpenedFilesAreReported) {
    TempDir dir;
    EXPECT_EQ(outcome([&] { return BigWigReader::open(dir.file("missing.bw")); }),
              (Outcome{"No such file or directory (os error 2)", ""}));
    write_file(dir.path() / "short.bw", bigwig_bytes(seven_chroms(), {}).substr(0, 63));
    EXPECT_EQ(outcome([&] { return BigWigReader::open(dir.file("short.bw")); }),
              (Outcome{"failed to fill whole buffer", "Error when opening: \"" + dir.file("short.bw") + "\"\n"}));

    EXPECT_EQ(open_error(bigwig_bytes(seven_chroms(), {}, {.breakage = BigWigBreak::BadMagic})), "NotABigWig");

    // A named pipe cannot be read at offsets; opening it must not wait for a writer.
    ASSERT_EQ(mkfifo(dir.file("pipe.bw").c_str(), 0600), 0);
    EXPECT_EQ(outcome([&] { return BigWigReader::open(dir.file("pipe.bw")); }).first, "Illegal seek (os error 29)");

    // Opening reads no further than the chromosome tree.
    const std::string whole = bigwig_bytes(seven_chroms(), {bedgraph_section("chr1", {{0, 5, 1}})});
    EXPECT_EQ(open_error(whole.substr(0, bigwig::read_layout(*testing::memory_source(whole))->header.full_data_offset)), "opened");

    // Zoom headers claimed past the end of the file are a short read.
    std::string bytes = bigwig_bytes(seven_chroms(), {});
    bytes[6] = '\xFF', bytes[7] = '\xFF';
    EXPECT_EQ(open_error(bytes), "failed to fill whole buffer");
}

TEST(FileHeader, HostileChromTreesFailWithInvalidChromsOrReadTheRealTree) {
    auto broken = [](BigWigBreak breakage) {
        // A chain deeper than any call stack would allow.
        return bigwig_bytes(seven_chroms(), {}, {.chrom_tree_fanout = 2, .breakage = breakage, .chain_length = 100000});
    };
    using B = BigWigBreak;
    for (B b :
         {B::ChromTreeMagic, B::ChromTreeValSize, B::ChromTreeHugeKeySize, B::ChromNodeHugeCount, B::ChromTreeCycle})
        EXPECT_EQ(open_error(broken(b)), "InvalidChroms") << static_cast<int>(b);
    // The file stays readable despite these oddities.
    for (B b : {B::ChromTreeHugeItemCount, B::ChromTreeLongChain}) {
        auto r = open_quietly(broken(b));
        ASSERT_TRUE(r.has_value()) << static_cast<int>(b);
        ASSERT_EQ(r->chroms().size(), 7u);
        EXPECT_EQ(r->chroms()[6].name, "chrUn_gl000220");
    }
}

TEST(FileHeader, ChildPastTheEndAndNonUtf8NamesAreInvalidChroms) {
    std::string bytes =
        bigwig_bytes(seven_chroms(), {{bedgraph_section("chr1", {{0, 5, 1}})}}, {.chrom_tree_fanout = 2});
    std::uint64_t tree = static_cast<unsigned char>(bytes[8]);
    // The root's first child offset, after the node header and a 14-byte key.
    std::uint64_t child = tree + 32 + 4 + 14;
    for (int i = 0; i < 8; ++i) bytes[child + i] = i == 5 ? '\x01' : '\0';  // 2^40
    EXPECT_EQ(open_error(bytes), "InvalidChroms");
    EXPECT_EQ(open_error(bigwig_bytes({{"chr\xC3", 10}}, {})), "InvalidChroms");
}

}  // namespace
}  // namespace binscope
