// colormap.hpp - named colour maps (256 colours from low to high), the
// missing-value colour and the palette of profile lines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "error.hpp"

namespace binscope {

// An opaque 8-bit colour.
struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// 256 colours; entry 0 stands for the low end of a scale, 255 for the high.
struct ColorMap {
    std::array<Rgb, 256> colors{};

    // The colour of `fraction` of the way from low to high, clamped to
    // [0, 1] (NaN is the caller's: it has a colour of its own).
    Rgb at(double fraction) const;
};

// The names a colour map can be asked for, without their "_r" forms.
std::vector<std::string> color_map_names();

// The colour map named `name` (a name of color_map_names(), or one with
// "_r" appended for its reverse), reversed once more when `reverse`.
Result<ColorMap> find_color_map(std::string_view name, bool reverse);

// A map running evenly through two or more colours (parse_named_color).
Result<ColorMap> color_map_from_list(const std::vector<std::string>& colors);

// A colour written "#rrggbb" (hex digits in either case).
Result<Rgb> parse_color(std::string_view text);

// A colour written "#rrggbb" or named: black, white, grey (or gray), red,
// green, blue, orange, purple, brown, pink, olive, cyan, magenta, yellow,
// navy, teal, maroon, gold, darkred, darkgreen, darkblue, darkorange,
// lightgrey (or lightgray), skyblue, steelblue (their usual web values).
Result<Rgb> parse_named_color(std::string_view text);

// The colour of the index-th line of a profile (a fixed qualitative
// palette, repeated).
Rgb line_color(std::size_t index);

// Black or white, whichever stands out more against `color`.
Rgb contrasting(Rgb color);

}  // namespace binscope
