// canvas.cpp - cairo surfaces for the three figure formats, written through
// memory so that a failure is reported with the system's reason.
#include "figure/canvas.hpp"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <fmt/format.h>
#include <unistd.h>
#include <utility>

#include "file_descriptor.hpp"

namespace binscope {
namespace {

cairo_status_t append_bytes(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

std::string cairo_text(cairo_status_t status) { return cairo_status_to_string(status); }

// Grey-scale antialiasing without hinting: text looks the same at any
// scale, and the same on every machine with the same font.
void set_font(cairo_t* context) {
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(context, options);
    cairo_font_options_destroy(options);
    cairo_select_font_face(context, kFontFamily, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
}

}  // namespace

Result<Canvas> Canvas::create(FigureFormat format, double width, double height, double dpi) {
    Canvas canvas;
    canvas.format_ = format;
    const double scale = format == FigureFormat::png ? dpi / 72.0 : 1.0;
    const double pixels_wide = std::ceil(width * scale), pixels_high = std::ceil(height * scale);
    if (!(pixels_wide >= 1 && pixels_high >= 1 && pixels_wide <= 32767 && pixels_high <= 32767))
        return fail(fmt::format("Cannot draw a figure of {:.0f} x {:.0f} {}: each side must be 1 to 32767",
                                pixels_wide, pixels_high, format == FigureFormat::png ? "pixels" : "points"));
    if (format == FigureFormat::png) {
        canvas.surface_ = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(pixels_wide),
                                                     static_cast<int>(pixels_high));
    } else {
        canvas.bytes_ = std::make_unique<std::string>();
        if (format == FigureFormat::svg) {
            canvas.surface_ = cairo_svg_surface_create_for_stream(append_bytes, canvas.bytes_.get(), width, height);
        } else {
            canvas.surface_ = cairo_pdf_surface_create_for_stream(append_bytes, canvas.bytes_.get(), width, height);
            cairo_pdf_surface_set_metadata(canvas.surface_, CAIRO_PDF_METADATA_CREATE_DATE, "");
        }
    }
    if (auto status = cairo_surface_status(canvas.surface_); status != CAIRO_STATUS_SUCCESS)
        return fail(fmt::format("Cannot start the figure: {}", cairo_text(status)));
    canvas.context_ = cairo_create(canvas.surface_);
    cairo_scale(canvas.context_, scale, scale);
    cairo_set_source_rgb(canvas.context_, 1, 1, 1);
    cairo_paint(canvas.context_);
    set_font(canvas.context_);
    return canvas;
}

Canvas::Canvas(Canvas&& other) noexcept
    : format_(other.format_), surface_(std::exchange(other.surface_, nullptr)),
      context_(std::exchange(other.context_, nullptr)), bytes_(std::move(other.bytes_)) {}

Canvas& Canvas::operator=(Canvas&& other) noexcept {
    if (this != &other) {
        release();
        format_ = other.format_;
        surface_ = std::exchange(other.surface_, nullptr);
        context_ = std::exchange(other.context_, nullptr);
        bytes_ = std::move(other.bytes_);
    }
    return *this;
}

Canvas::~Canvas() { release(); }

void Canvas::release() {
    if (context_) cairo_destroy(context_);
    if (surface_) cairo_surface_destroy(surface_);
    context_ = nullptr;
    surface_ = nullptr;
}

Result<std::string> Canvas::finish(const std::string& what) {
    auto failure = [&](std::string why) { return fail(fmt::format("Cannot draw the figure {}: {}", what, why)); };
    if (auto status = cairo_status(context_); status != CAIRO_STATUS_SUCCESS) return failure(cairo_text(status));
    if (format_ == FigureFormat::png) {
        std::string png;
        cairo_surface_flush(surface_);
        if (auto status = cairo_surface_write_to_png_stream(surface_, append_bytes, &png); status != CAIRO_STATUS_SUCCESS)
            return failure(cairo_text(status));
        return png;
    }
    cairo_surface_finish(surface_);
    if (auto status = cairo_surface_status(surface_); status != CAIRO_STATUS_SUCCESS) return failure(cairo_text(status));
    return std::move(*bytes_);
}

Status Canvas::write(const std::string& path) {
    auto bytes = finish(path);
    if (!bytes) return fail(std::move(bytes).error());
    auto written = write_file(path, *bytes);
    if (!written) return fail(std::move(written).error().context(fmt::format("Cannot write the figure {}", path)));
    return {};
}

FontCacheRelease::~FontCacheRelease() {
    cairo_debug_reset_static_data();
    FcFini();
}

Status write_file(const std::string& path, const std::string& bytes) {
    auto fd = open_file(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (!fd) return fail(std::move(fd).error());
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd->get(), p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(Error::from_errno(errno));
        if (n == 0) return fail(Error::from_errno(EIO));
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::close(fd->release()) != 0 && errno != EINTR) return fail(Error::from_errno(errno));
    return {};
}

}  // namespace binscope
