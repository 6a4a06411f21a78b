// view_export.cpp - figures and region lists written by the `heatmap`
// command's own writers through a temporary file.
#include "view/view_export.hpp"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>
#include <vector>

#include "file_descriptor.hpp"
#include "output/sorted_regions.hpp"

namespace binscope {
namespace {

// Removes the file at `path` when it goes out of scope.
class RemovedFile {
public:
    explicit RemovedFile(std::string path) : path_(std::move(path)) {}
    RemovedFile(const RemovedFile&) = delete;
    RemovedFile& operator=(const RemovedFile&) = delete;
    ~RemovedFile() { ::unlink(path_.c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

Result<std::string> read_all(const std::string& path) {
    auto fd = open_file(path, O_RDONLY, 0);
    if (!fd) return fail(std::move(fd).error());
    std::string bytes;
    char buffer[1 << 16];
    while (true) {
        const ssize_t n = ::read(fd->get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(Error::from_errno(errno).context(fmt::format("Cannot read {}", path)));
        if (n == 0) return bytes;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace

Result<std::string> bytes_written(const std::function<Status(const std::string& path)>& write) {
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/binscope-view-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return fail(Error::from_errno(errno).context("Cannot create a temporary file for the export"));
    ::close(fd);
    const RemovedFile file(name.data());
    if (auto written = write(file.path()); !written) return fail(std::move(written).error());
    return read_all(file.path());
}

Result<std::string> export_figure(ViewModel& model, const View& view, FigureFormat format) {
    return bytes_written([&](const std::string& path) -> Status {
        ExportWorker* worker = model.export_worker();
        if (!worker) return fail("Figures cannot be drawn: the figure worker is not running");
        return worker->draw(*view.input, format, view.description.color, model.threads(), path);
    });
}

Result<std::string> export_regions(const ViewModel& model, const View& view, std::size_t begin, std::size_t end) {
    const FigureInput& input = *view.input;
    std::vector<std::size_t> bounds{0};
    std::vector<std::string> labels;
    for (std::size_t g = 0; g + 1 < input.group_boundaries.size(); ++g) {
        const std::size_t first = std::max(begin, input.group_boundaries[g]);
        const std::size_t last = std::min(end, input.group_boundaries[g + 1]);
        if (first >= last) continue;
        bounds.push_back(last - begin);
        labels.push_back(input.group_labels[g]);
    }
    const std::span<const std::size_t> rows(input.row_order.data() + begin, end - begin);
    return bytes_written([&](const std::string& path) {
        return write_sorted_regions(path, model.file().matrix, rows, bounds, labels);
    });
}

}  // namespace binscope
