// tile_png.hpp - a tile's pixels as a PNG image, written with libpng at a
// fast compression level: a tile is the page's own image, its pixels are
// what counts, so it does not go through the figures' PNG writer.
#pragma once

#include <cairo.h>

#include <string>

#include "error.hpp"

namespace binscope {

// The pixels of an opaque cairo image surface (CAIRO_FORMAT_RGB24) as an
// 8-bit RGB PNG that decodes to exactly those pixels. Errors name the tile.
Result<std::string> tile_png(cairo_surface_t* surface);

}  // namespace binscope
