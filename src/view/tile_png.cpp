// tile_png.cpp - libpng writing a cairo image surface's rows to memory.
// libpng reports errors by longjmp: the setjmp frame lives in a plain
// function with no C++ objects, and the callbacks hold none either, so no
// destructor is ever skipped.
#include "view/tile_png.hpp"

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <fmt/format.h>
#include <vector>

namespace binscope {
namespace {

// zlib's fastest level, rows left unfiltered. On W1's 200 x 600 tiles this
// took 2-6 ms a tile, where the figures' writer took 8-56 ms, and wrote
// 0.9 times its bytes: a tile's colours come from a colour map, and the
// difference filters only spread them (sub, up, average, Paeth or all of
// them made the tile 1.1 to 3 times bigger and the writing slower).
constexpr int kCompressionLevel = 1;
constexpr int kFilters = PNG_FILTER_NONE;

// What the plain encoder reads and where libpng's callbacks report.
struct PngJob {
    const unsigned char* pixels = nullptr;  // the surface's first row
    int width = 0, height = 0, stride = 0;
    unsigned char* row = nullptr;  // width * 3 bytes
    std::string* out = nullptr;
    bool out_of_memory = false;
    char message[200] = {};
};

void on_error(png_structp png, png_const_charp message) {
    auto* job = static_cast<PngJob*>(png_get_error_ptr(png));
    std::strncpy(job->message, message, sizeof job->message - 1);
    png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

void on_write(png_structp png, png_bytep data, png_size_t length) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    try {
        job->out->append(reinterpret_cast<const char*>(data), length);
    } catch (...) {
        job->out_of_memory = true;
    }
    if (job->out_of_memory) png_error(png, "out of memory");
}

void on_flush(png_structp) {}

// Cairo's RGB24 pixel is a native 32-bit word 0xXXRRGGBB.
void pack_rgb(const unsigned char* source, int width, unsigned char* row) {
    const auto* pixel = reinterpret_cast<const std::uint32_t*>(source);
    for (int x = 0; x < width; ++x) {
        const std::uint32_t p = pixel[x];
        row[3 * x] = static_cast<unsigned char>(p >> 16);
        row[3 * x + 1] = static_cast<unsigned char>(p >> 8);
        row[3 * x + 2] = static_cast<unsigned char>(p);
    }
}

// Writes the job's rows; false when libpng reported an error (in
// job->message). Only plain data lives in this frame.
bool encode(png_structp png, png_infop info, PngJob* job) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, job, on_write, on_flush);
    png_set_compression_level(png, kCompressionLevel);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, kFilters);
    png_set_IHDR(png, info, static_cast<png_uint_32>(job->width), static_cast<png_uint_32>(job->height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    for (int y = 0; y < job->height; ++y) {
        pack_rgb(job->pixels + static_cast<std::ptrdiff_t>(y) * job->stride, job->width, job->row);
        png_write_row(png, job->row);
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

Result<std::string> tile_png(cairo_surface_t* surface) {
    auto failure = [](const std::string& why) { return fail(fmt::format("Cannot draw the figure tile: {}", why)); };
    if (auto status = cairo_surface_status(surface); status != CAIRO_STATUS_SUCCESS)
        return failure(cairo_status_to_string(status));
    if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(surface) != CAIRO_FORMAT_RGB24)
        return failure("a tile must be an opaque image");
    cairo_surface_flush(surface);
    std::string out;
    PngJob job;
    job.pixels = cairo_image_surface_get_data(surface);
    job.width = cairo_image_surface_get_width(surface);
    job.height = cairo_image_surface_get_height(surface);
    job.stride = cairo_image_surface_get_stride(surface);
    std::vector<unsigned char> row(static_cast<std::size_t>(job.width) * 3);
    job.row = row.data();
    job.out = &out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, on_error, on_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool written = info && encode(png, info, &job);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!written) return failure(job.message[0] ? job.message : "out of memory");
    return out;
}

}  // namespace binscope
