// coordinates.hpp - overflow-free arithmetic on signed 64-bit region
// coordinates and block widths.
#pragma once

#include <cstdint>
#include <limits>
#include <span>

#include "region.hpp"

namespace binscope {

// a + b, held at the int64 limits instead of overflowing: region files may
// carry any coordinate and the flank lengths are added to them.
inline std::int64_t sat_add(std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_add_overflow(a, b, &r))
        return b > 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    return r;
}

// a - b, held at the int64 limits instead of overflowing.
inline std::int64_t sat_sub(std::int64_t a, std::int64_t b) {
    std::int64_t r;
    if (__builtin_sub_overflow(a, b, &r))
        return b < 0 ? std::numeric_limits<std::int64_t>::max() : std::numeric_limits<std::int64_t>::min();
    return r;
}

// Bases of a block; an empty or inverted block has none.
inline std::int64_t block_width(const Block& b) { return b.end > b.start ? sat_sub(b.end, b.start) : 0; }

// Bases of a block list, held at the int64 maximum.
inline std::int64_t total_width(std::span<const Block> blocks) {
    std::int64_t total = 0;
    for (const Block& b : blocks) total = sat_add(total, block_width(b));
    return total;
}

}  // namespace binscope
