// nan_bits.hpp - missing values (NaN) told by their bits, for loops that
// should run on vectors: the compiler turns arithmetic on an integer test
// into vector code, where a choice on a float comparison stays a branch
// (that comparison might trap, as far as it knows).
#pragma once

#include <bit>
#include <cstdint>

namespace binscope {

// 1 for a NaN, 0 for any other float.
inline std::uint32_t nan_bit(float value) {
    return (std::bit_cast<std::uint32_t>(value) & 0x7fffffffu) > 0x7f800000u ? 1u : 0u;
}

// The value, or +0.0 for a NaN; `nan` is nan_bit(value).
inline float zero_if_nan(float value, std::uint32_t nan) {
    return std::bit_cast<float>(std::bit_cast<std::uint32_t>(value) & (nan - 1u));
}

}  // namespace binscope
