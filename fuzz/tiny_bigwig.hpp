// tiny_bigwig.hpp - the bytes of a small, well-formed score file (one
// chromosome "chr1" of 1000 bases, three bedGraph records, stored blocks),
// for fuzz targets that need a score file beside their own input.
#pragma once

#include <cstdint>
#include <string>

namespace binscope::fuzz {

inline std::string tiny_bigwig() {
    std::string out;
    auto u8 = [&](std::uint8_t v) { out.push_back(static_cast<char>(v)); };
    auto u16 = [&](std::uint16_t v) { u8(v & 0xFF), u8(v >> 8); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    auto u64 = [&](std::uint64_t v) { u32(v & 0xFFFFFFFF), u32(v >> 32); };
    auto f32 = [&](float v) {
        std::uint32_t bits;
        __builtin_memcpy(&bits, &v, 4);
        u32(bits);
    };
    constexpr std::uint64_t tree = 64, data = 116, index = 176;
    // Header: magic, version 4, no zoom levels, offsets, stored blocks.
    u32(0x888FFC26), u16(4), u16(0), u64(tree), u64(data), u64(index), u16(0), u16(0), u64(0), u64(0), u32(0), u64(0);
    // Chromosome tree: header, then one leaf with "chr1" (id 0, 1000 bases).
    u32(0x78CA8C91), u32(1), u32(4), u32(8), u64(1), u64(0);
    u8(1), u8(0), u16(1), out += "chr1", u32(0), u32(1000);
    // One bedGraph block: [0,100) 1.5, [200,600) -2, [600,1000) 0.25.
    u32(0), u32(0), u32(1000), u32(0), u32(0), u8(1), u8(0), u16(3);
    u32(0), u32(100), f32(1.5f), u32(200), u32(600), f32(-2.0f), u32(600), u32(1000), f32(0.25f);
    // R-tree: header, then one leaf item pointing at the block.
    u32(0x2468ACE0), u32(1), u64(1), u32(0), u32(0), u32(0), u32(1000), u64(index), u32(1), u32(0);
    u8(1), u8(0), u16(1), u32(0), u32(0), u32(0), u32(1000), u64(data), u64(index - data);
    return out;
}

}  // namespace binscope::fuzz
