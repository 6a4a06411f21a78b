// deflate_joiner_fuzzer.cpp - texts of random kinds cut into segments of
// random sizes, each compressed at a random level and joined; the joined
// stream must inflate to exactly the text, ending where its bytes end.
//
// The input is a recipe, five bytes a segment: kind (bits 0-1) and bits
// 16-17 of the length (bits 4-5), level, the length's low 16 bits
// (little-endian) and a seed for the segment's text.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "output/deflate_joiner.hpp"

namespace {

constexpr std::size_t kRecipeBytes = 5;
constexpr std::size_t kMaxSegments = 48;
constexpr std::size_t kMaxText = std::size_t{1} << 19;
constexpr int kLevels = 13;

// Digits and tabs as in matrix rows, a few repeated words, random bytes
// (stored blocks), or one byte repeated (the longest matches).
std::string make_text(unsigned kind, std::size_t size, unsigned seed) {
    static const std::string_view words[] = {"0\t", "nan\t", "chr1\t", "1.25\t", "\n"};
    std::minstd_rand rng(seed + 1);
    std::string t(size, static_cast<char>(seed));
    for (std::size_t i = 0; i < size && kind < 3;) {
        const auto r = static_cast<unsigned>(rng());
        if (kind == 0) t[i++] = r % 9 == 0 ? '\t' : static_cast<char>('0' + r % 10);
        else if (kind == 2) t[i++] = static_cast<char>(r >> 8);
        else
            for (char c : words[r % 5]) {
                if (i < size) t[i++] = c;
            }
    }
    return t;
}

// The text of a raw deflate stream that zlib reads to its end with no
// byte left over, or nothing.
std::optional<std::string> inflate_exactly(const std::string& stream, std::size_t expected) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) std::abort();
    std::string out(expected + 1, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    const bool whole = rc == Z_STREAM_END && z.avail_in == 0;
    out.resize(out.size() - z.avail_out);
    inflateEnd(&z);
    if (!whole) return std::nullopt;
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static std::array<std::optional<binscope::DeflateJoiner>, kLevels> joiners;
    const std::size_t count = std::min(size / kRecipeBytes, kMaxSegments);
    if (count == 0) return 0;
    std::string text, stream;
    binscope::DeflatedSegment segment;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* r = data + i * kRecipeBytes;
        const int level = r[1] % kLevels;
        if (!joiners[level]) {
            auto created = binscope::DeflateJoiner::create(level);
            if (!created) std::abort();
            joiners[level].emplace(std::move(*created));
        }
        const std::size_t length =
            std::min(r[2] | std::size_t{r[3]} << 8 | std::size_t{r[0] & 0x30u} << 12, kMaxText - text.size());
        const std::string part = make_text(r[0] % 4, length, r[4]);
        if (auto compressed = joiners[level]->compress(part, i + 1 == count, segment); !compressed) {
            std::fprintf(stderr, "segment %zu: %s\n", i, compressed.error().message().c_str());
            std::abort();
        }
        if (segment.crc != crc32(0, reinterpret_cast<const Bytef*>(part.data()), static_cast<uInt>(part.size())))
            std::abort();
        text += part;
        stream.append(reinterpret_cast<const char*>(segment.bytes.get()), segment.size);
    }
    const auto inflated = inflate_exactly(stream, text.size());
    if (!inflated || *inflated != text) std::abort();
    return 0;
}
