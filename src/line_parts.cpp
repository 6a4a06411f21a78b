// line_parts.cpp - splitting a text file at line starts and reading the
// parts on a worker pool.
#include "line_parts.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "file_descriptor.hpp"
#include "worker_pool.hpp"

namespace binscope {

namespace {

// Parts per thread: uneven parts, or a thread slowed by other work, even
// out over several.
constexpr std::uint64_t kPartsPerThread = 4;

// Reads up to size bytes at offset; fewer only at the end of the file.
Result<std::size_t> read_at(int fd, char* out, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return fail(Error::from_errno(errno));
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

// The offset just past the first '\n' at or after `from`; nothing when
// there is none before `size`, or the file cannot be read.
std::optional<std::uint64_t> next_line_start(int fd, std::uint64_t from, std::uint64_t size) {
    char window[1 << 16];
    while (from < size) {
        auto got = read_at(fd, window, std::min<std::uint64_t>(sizeof window, size - from), from);
        if (!got || *got == 0) return std::nullopt;
        if (const void* nl = std::memchr(window, '\n', *got))
            return from + static_cast<std::uint64_t>(static_cast<const char*>(nl) - window) + 1;
        from += *got;
    }
    return std::nullopt;
}

// Ranges of about size / count bytes each, cut after line ends.
std::vector<LineRange> cut_at_lines(int fd, std::uint64_t size, std::uint64_t count) {
    std::vector<LineRange> ranges;
    std::uint64_t begin = 0;
    for (std::uint64_t i = 1; i < count; ++i) {
        // The cut goes after the line that holds the byte before the target.
        const std::uint64_t target = std::max(size / count * i, begin + 1);
        const auto cut = next_line_start(fd, target - 1, size);
        if (!cut || *cut >= size) break;
        ranges.push_back({begin, *cut, 1});
        begin = *cut;
    }
    if (ranges.empty()) return {};
    ranges.push_back({begin, size, 1});
    return ranges;
}

}  // namespace

std::vector<LineRange> split_into_line_ranges(const std::string& path, const PartPlan& plan) {
    if (plan.threads < 2) return {};
    auto fd = open_file(path, O_RDONLY);
    struct stat info {};
    if (!fd || ::fstat(fd->get(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
    const auto size = static_cast<std::uint64_t>(info.st_size);
    const std::uint64_t by_size = size / std::max<std::uint64_t>(plan.min_part_bytes, 1);
    const std::uint64_t count = std::min(std::min<std::uint64_t>(plan.threads, by_size) * kPartsPerThread, by_size);
    char magic[2];
    auto got = read_at(fd->get(), magic, sizeof magic, 0);
    if (count < 2 || !got || (*got == 2 && magic[0] == '\x1f' && magic[1] == '\x8b')) return {};
    return cut_at_lines(fd->get(), size, count);
}

namespace {

// Calls read(i, range, last_line) for every range on up to `threads`
// threads; read returns its status and sets last_line to the number of the
// last line it saw. The error is that of the first failing range, read
// again with its lines numbered as in the whole file. Memory exhaustion on
// a thread is thrown again here (by the worker pool).
Status read_ranges(const std::vector<LineRange>& ranges, std::size_t threads,
                   const std::function<Status(std::size_t, const LineRange&, std::size_t&)>& read) {
    const std::size_t count = ranges.size();
    std::vector<Status> results(count);
    std::vector<std::size_t> last_lines(count, 0);
    std::atomic<std::size_t> first_failed{count};
    ChunkCounter counter(count, 1);
    auto pooled = run_on_workers(std::min(threads, count), [&](std::size_t, const std::atomic<bool>& cancelled) {
        std::size_t i = 0, end = 0;
        // Ranges after a failed one cannot hold the first error.
        while (!cancelled.load() && counter.next(i, end) && i < first_failed.load()) {
            results[i] = read(i, ranges[i], last_lines[i]);
            if (results[i]) continue;
            std::size_t failed = first_failed.load();
            while (i < failed && !first_failed.compare_exchange_weak(failed, i)) {
            }
        }
    });
    if (!pooled) return pooled;
    const std::size_t failed = first_failed.load();
    if (failed == count) return {};
    // Lines were numbered from 1 in every range; read the failing one again
    // knowing how many lines come before it.
    LineRange range = ranges[failed];
    for (std::size_t i = 0; i < failed; ++i) range.first_line += last_lines[i];
    if (range.first_line == 1) return results[failed];
    std::size_t last_line = 0;
    Status again = read(failed, range, last_line);
    return again ? results[failed] : again;
}

}  // namespace

Status for_each_line_in_parts(const std::string& path, const LineErrors& errors, const PartPlan& plan,
                              const std::function<void(std::size_t)>& parts,
                              const std::function<Status(std::size_t, std::string_view, std::size_t)>& parse) {
    const std::vector<LineRange> ranges = split_into_line_ranges(path, plan);
    parts(ranges.empty() ? 1 : ranges.size());
    auto read = [&](std::size_t i, const std::optional<LineRange>& range, std::size_t& last_line) {
        return for_each_line_in(path, range, errors, [&](std::string_view line, std::size_t number) {
            last_line = number;
            return parse(i, line, number);
        });
    };
    if (!ranges.empty()) return read_ranges(ranges, plan.threads, read);
    std::size_t lines = 0;
    return read(0, std::nullopt, lines);
}

}  // namespace binscope
