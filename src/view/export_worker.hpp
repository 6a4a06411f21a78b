// export_worker.hpp - figures drawn in processes of their own, so that
// their bytes are those of a `heatmap` run.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <sys/types.h>

#include "error.hpp"
#include "figure/figure_input.hpp"
#include "figure/figure_options.hpp"
#include "matrix_file/matrix_file.hpp"

namespace binscope {

// The drawing library numbers some of what an SVG names (its images and
// surfaces) with counters shared by the whole process: a figure drawn by
// a server that has drawn tiles before would name them differently from
// the `heatmap` command. So the server forks, before it draws anything, a
// worker that holds the matrix (the pages are shared, not copied); for
// each figure the worker forks a child, which draws it from the row order
// it is sent exactly as `heatmap` does and exits.
class ExportWorker {
public:
    // Forks the worker; call while the process has one thread only.
    static Result<ExportWorker> start(const MatrixFile& file);

    ExportWorker(ExportWorker&& other) noexcept;
    ExportWorker& operator=(ExportWorker&&) = delete;
    ~ExportWorker();  // the worker ends when its connection closes

    // Draws the heat map of `input`'s row order and groups (the matrix's
    // values, default style) to `path` in `format`. One figure at a time.
    Status draw(const FigureInput& input, FigureFormat format, const ColorSettings& color, std::size_t threads,
                const std::string& path);

private:
    ExportWorker(int socket, pid_t pid) : socket_(socket), pid_(pid) {}

    int socket_ = -1;
    pid_t pid_ = -1;
    std::mutex mutex_;
};

}  // namespace binscope
