// colormap_tables.hpp - the published colour tables the colour maps are
// made from (data only; colormap.hpp turns them into colour maps).
#pragma once

#include <array>
#include <cstdint>

namespace binscope::color_tables {

// A colour as published in fractions of full intensity.
struct FloatRgb {
    double r, g, b;
};
// A colour as published in 0-255 steps.
struct ByteRgb {
    std::uint8_t r, g, b;
};

extern const std::array<FloatRgb, 256> magma, inferno, plasma, viridis, cividis;
extern const std::array<ByteRgb, 9> greys, reds, blues;  // light to dark
extern const std::array<ByteRgb, 11> rdbu;               // red, white, blue
extern const std::array<ByteRgb, 8> dark2;               // qualitative, for lines

}  // namespace binscope::color_tables
