// tile_png_test.cpp - a tile written by tile_png decodes to exactly the
// pixels cairo's own PNG of the same surface decodes to: flat colours,
// gradients, noise, odd and tiny sizes.
#include "view/tile_png.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace binscope {
namespace {

using Pixels = std::vector<std::uint32_t>;  // 0x00RRGGBB, row by row

struct Reader {
    const std::string* bytes;
    std::size_t at = 0;
};

cairo_status_t read_bytes(void* closure, unsigned char* data, unsigned int length) {
    auto* reader = static_cast<Reader*>(closure);
    if (reader->bytes->size() - reader->at < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(data, reader->bytes->data() + reader->at, length);
    reader->at += length;
    return CAIRO_STATUS_SUCCESS;
}

cairo_status_t append_bytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// The surface's pixels without cairo's unused top byte.
Pixels pixels_of(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    Pixels pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            pixels.push_back(reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] & 0xffffffu);
    return pixels;
}

Pixels decode(const std::string& png) {
    Reader reader{&png};
    cairo_surface_t* surface = cairo_image_surface_create_from_png_stream(read_bytes, &reader);
    EXPECT_EQ(cairo_surface_status(surface), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_format(surface), CAIRO_FORMAT_RGB24);
    Pixels pixels = pixels_of(surface);
    cairo_surface_destroy(surface);
    return pixels;
}

void fill(cairo_surface_t* surface, const std::function<std::uint32_t(int, int)>& colour) {
    cairo_surface_flush(surface);
    const int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            reinterpret_cast<std::uint32_t*>(data + y * cairo_image_surface_get_stride(surface))[x] = colour(x, y);
    cairo_surface_mark_dirty(surface);
}

TEST(TilePng, DecodesToTheSamePixelsAsCairosOwnPng) {
    std::mt19937 random(27);
    struct Case {
        const char* name;
        int width, height;
        std::function<std::uint32_t(int, int)> colour;  // its top byte is cairo's unused one
    };
    const Case cases[] = {
        {"missing-value colour", 200, 600, [](int, int) { return 0xff000000u | 0x00ffb6c1u; }},
        {"gradient across", 200, 600, [](int x, int y) { return std::uint32_t(x * 255 / 199) << 16 | std::uint32_t(y % 256); }},
        {"gradient down, green", 37, 601, [](int, int y) { return std::uint32_t(y * 255 / 600) << 8 | 0x40u; }},
        {"noise, garbage top byte", 201, 97, [&](int, int) { return std::uint32_t(random()); }},
        {"one pixel", 1, 1, [](int, int) { return 0x00123456u; }},
        {"odd width, one row", 3, 1, [](int x, int) { return 0x00fe0001u << x; }},
        {"one column", 1, 5, [](int, int y) { return 0x00010203u * std::uint32_t(y + 1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, c.width, c.height);
        fill(surface, c.colour);
        auto ours = tile_png(surface);
        ASSERT_TRUE(ours) << ours.error().message();
        std::string cairos;
        ASSERT_EQ(cairo_surface_write_to_png_stream(surface, append_bytes, &cairos), CAIRO_STATUS_SUCCESS);
        const Pixels painted = pixels_of(surface);
        cairo_surface_destroy(surface);
        EXPECT_EQ(decode(cairos), painted);
        EXPECT_TRUE(decode(*ours) == painted);  // not printed: up to 120,000 pixels
    }
}

TEST(TilePng, RefusesASurfaceWithAlpha) {
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 4, 4);
    auto png = tile_png(surface);
    cairo_surface_destroy(surface);
    ASSERT_FALSE(png);
    EXPECT_EQ(png.error().message(), "Cannot draw the figure tile: a tile must be an opaque image");
}

}  // namespace
}  // namespace binscope
