// canvas.hpp - a cairo drawing surface for a PNG, SVG or PDF figure, drawn
// in points and written to a file with the same bytes on every run.
#pragma once

#include <cairo.h>

#include <memory>
#include <string>

#include "error.hpp"
#include "figure/figure_options.hpp"

namespace binscope {

// The name the figures' font is asked for by (Debian's fonts-dejavu-core).
inline constexpr const char* kFontFamily = "DejaVu Sans";

class Canvas {
public:
    // A white page of width x height points. A PNG has dpi / 72 pixels per
    // point (its size rounded up); SVG and PDF are drawn in points.
    static Result<Canvas> create(FigureFormat format, double width, double height, double dpi);

    Canvas(Canvas&&) noexcept;
    Canvas& operator=(Canvas&&) noexcept;
    ~Canvas();

    // The context to draw with, in points, its font set.
    cairo_t* context() const { return context_; }

    // Finishes the drawing and writes it to `path` (created or replaced).
    // A PDF carries no creation date, so that its bytes depend on the
    // drawing alone. Errors name the path.
    Status write(const std::string& path);

    // Finishes the drawing and gives the bytes write() would write; errors
    // name `what`.
    Result<std::string> finish(const std::string& what);

private:
    Canvas() = default;
    void release();

    FigureFormat format_ = FigureFormat::png;
    cairo_surface_t* surface_ = nullptr;
    cairo_t* context_ = nullptr;
    std::unique_ptr<std::string> bytes_;  // SVG and PDF surfaces write here
};

// Frees cairo's and fontconfig's process-wide font caches when destroyed:
// declared before a figure's Canvas, it outlives every cairo object of the
// drawing, and a run leaves nothing allocated behind (the leak checker of
// the sanitizer builds sees none).
class FontCacheRelease {
public:
    FontCacheRelease() = default;
    FontCacheRelease(const FontCacheRelease&) = delete;
    FontCacheRelease& operator=(const FontCacheRelease&) = delete;
    ~FontCacheRelease();
};

// Writes `bytes` to the file at `path`, created or replaced.
Status write_file(const std::string& path, const std::string& bytes);

}  // namespace binscope
