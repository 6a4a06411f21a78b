// segmented_gzip_test.cpp - segments compressed apart and joined into one
// gzip member on several threads, and the readers that must accept it.
#include "output/segmented_gzip.hpp"

#include <sys/wait.h>
#include <zlib.h>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <bitset>
#include <cstdlib>
#include <functional>
#include <random>
#include <stdexcept>

#include "output/deflate_joiner.hpp"
#include "support/test_files.hpp"

namespace binscope {
namespace {

using namespace binscope::testing;

// Text of one of three kinds: digits and tabs like matrix rows, a few
// repeated words, or random bytes (which compress to stored blocks).
std::string make_text(int kind, std::size_t size, std::mt19937& rng) {
    static const std::string words[] = {"0\t", "nan\t", "chr1\t", "1.25\t", "\n"};
    std::string t;
    while (t.size() < size) {
        if (kind == 0) t += rng() % 9 == 0 ? '\t' : static_cast<char>('0' + rng() % 10);
        else if (kind == 1) t += words[rng() % 5];
        else t += static_cast<char>(rng());
    }
    t.resize(size);
    return t;
}

// Whether zlib reads the file as exactly one gzip member of `text`, its
// end where the file's bytes end.
bool zlib_reads_one_member(const std::string& raw, const std::string& text) {
    z_stream z{};
    std::string out(text.size() + 1, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(raw.data()));
    z.avail_in = static_cast<uInt>(raw.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const bool whole = inflateInit2(&z, 15 + 16) == Z_OK && inflate(&z, Z_FINISH) == Z_STREAM_END && z.avail_in == 0;
    out.resize(z.total_out);
    inflateEnd(&z);
    return whole && out == text;
}

int shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every reader the file must satisfy: zlib, gzip (test and decompress),
// and where installed, pigz and Python's zlib reading one member (its end
// reached, nothing unused after it).
void expect_readers_accept(const std::string& path, const std::string& text, const TempDir& dir) {
    EXPECT_TRUE(zlib_reads_one_member(read_file(path), text));
    const std::string out = dir.file("reader.txt");
    EXPECT_EQ(shell(fmt::format("gzip -t '{}'", path)), 0);
    std::vector<std::pair<std::string, std::string>> readers{{"gzip", "gzip -dc '{}' > '{}'"}};
    if (shell("command -v pigz > /dev/null") == 0) readers.emplace_back("pigz", "pigz -dc '{}' > '{}'");
    if (shell("command -v python3 > /dev/null") == 0)
        readers.emplace_back("python", "python3 -c 'import sys, zlib; d = zlib.decompressobj(31)\n"
                                       "sys.stdout.buffer.write(d.decompress(open(sys.argv[1], \"rb\").read()))\n"
                                       "sys.exit(0 if d.eof and not d.unused_data else 1)' '{}' > '{}'");
    for (const auto& [name, command] : readers) {
        EXPECT_EQ(shell(fmt::format(fmt::runtime(command), path, out)), 0) << name;
        EXPECT_TRUE(read_file(out) == text) << name;
    }
}

// Segments of every kind, kept while they bring a bit offset (within its
// byte) not met before at which a final block starts or ends.
std::vector<std::string> segments_at_every_bit_offset() {
    auto joiner = DeflateJoiner::create(6);
    EXPECT_TRUE(joiner);
    std::mt19937 rng(12);
    std::bitset<8> starts, ends;
    bool stored = false;
    std::vector<std::string> kept{""};
    DeflatedSegment segment;
    for (int i = 0; i < 2000 && !(starts.all() && ends.all() && stored); ++i) {
        // Parts of different kinds make the compressor start new blocks.
        std::string text;
        for (int part = 0; part < 1 + i % 3; ++part) text += make_text((i / 3 + part) % 3, rng() % 60000, rng);
        EXPECT_TRUE(joiner->compress(text, false, segment));
        const bool new_stored = !stored && segment.size > text.size();
        if (starts[segment.final_block_bit % 8] && ends[segment.end_bit % 8] && !new_stored) continue;
        starts.set(segment.final_block_bit % 8);
        ends.set(segment.end_bit % 8);
        stored = stored || new_stored;
        kept.push_back(std::move(text));
    }
    EXPECT_TRUE(starts.all() && ends.all()) << "final blocks start at " << starts << ", end at " << ends;
    EXPECT_TRUE(stored) << "no segment of stored blocks";
    return kept;
}

TEST(SegmentedGzip, OneMemberThatEveryReaderAcceptsWhateverTheThreadCount) {
    std::mt19937 rng(3);
    const struct {
        const char* name;
        std::vector<std::string> segments;
    } cases[] = {
        {"final blocks at every bit offset", segments_at_every_bit_offset()},
        {"one segment", {make_text(0, 300000, rng)}},
        // More text than the joiner inflates at a time, from a few bytes.
        {"runs of one byte", {std::string(300000, 'a'), std::string(131074, 'b')}},
        {"one-byte segments", {"a", "\n", "z"}},
        {"empty text", {}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text;
        for (const auto& s : c.segments) text += s;
        // No segment at all is written as one empty one.
        auto fill = [&](std::size_t k, TextBuffer& out) {
            if (k < c.segments.size()) out.append(c.segments[k]);
        };
        std::string first;
        for (std::size_t threads : {1, 3, 8}) {
            const std::string path = dir.file(fmt::format("t{}.gz", threads));
            ASSERT_TRUE(write_segmented_gzip(path, c.segments.size(), threads, fill));
            const std::string raw = read_file(path);
            if (first.empty()) {
                EXPECT_EQ(raw.substr(0, 10), std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10));
                expect_readers_accept(path, text, dir);
                first = raw;
            }
            EXPECT_TRUE(raw == first) << "the bytes depend on the thread count (" << threads << ")";
        }
    }
}

TEST(DeflateJoiner, RefusesAMalformedSegment) {
    auto joiner = DeflateJoiner::create(6);
    ASSERT_TRUE(joiner);
    std::mt19937 rng(4);
    const std::string text = make_text(0, 100000, rng);
    const struct {
        const char* name;
        std::function<void(DeflatedSegment&, std::string&)> spoil;
        const char* error;
    } cases[] = {
        {"cut short", [](DeflatedSegment& s, std::string&) { s.size -= 3; }, "ends before its final block"},
        {"bytes after", [](DeflatedSegment& s, std::string&) { s.bytes[s.size++] = 0; },
         "has 1 bytes after its final block"},
        {"bad block type", [](DeflatedSegment& s, std::string&) { s.bytes[0] |= 6; },
         "is not a deflate stream (invalid block type)"},
        {"other text", [](DeflatedSegment&, std::string& t) { t[500] ^= 1; }, "decodes to other text"},
        {"longer text", [](DeflatedSegment&, std::string& t) { t += '\n'; }, "decodes to other text"},
    };
    for (const auto& c : cases) {
        DeflatedSegment segment;
        ASSERT_TRUE(joiner->compress(text, true, segment));
        std::string checked = text;
        c.spoil(segment, checked);
        auto joined = joiner->join(checked, false, segment);
        ASSERT_FALSE(joined) << c.name;
        EXPECT_EQ(joined.error().message(), fmt::format("compression failed: the compressed segment {}", c.error))
            << c.name;
    }
}

TEST(SegmentedGzip, FailuresStopEveryThread) {
    std::mt19937 rng(5);
    const std::string text = make_text(2, 50000, rng);
    auto fill = [&](std::size_t, TextBuffer& out) { out.append(text); };
    for (std::size_t threads : {1, 4}) {
        auto full = write_segmented_gzip("/dev/full", 40, threads, fill);
        ASSERT_FALSE(full);
        EXPECT_EQ(full.error().chain(), std::vector<std::string>{"No space left on device (os error 28)"});
    }
    auto throwing = [&](std::size_t k, TextBuffer& out) {
        if (k == 25) throw std::runtime_error("no memory for segment 25");
        out.append(text);
    };
    TempDir dir;
    EXPECT_THROW((void)write_segmented_gzip(dir.file("x.gz"), 40, 4, throwing), std::runtime_error);
}

}  // namespace
}  // namespace binscope
