// matrix.cpp - writes the gzipped matrix file: header line, then the rows,
// in segments of neighbouring rows formatted and compressed on the run's
// threads.
#include "output/matrix.hpp"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>

#include <fmt/format.h>

#include "output/matrix_text.hpp"
#include "output/segmented_gzip.hpp"
#include "progress.hpp"

namespace binscope {

namespace {

// Text per segment: large enough that restarting the compressor's window
// costs nothing measurable and per-segment overhead is negligible, small
// enough to bound memory. The row count depends only on the matrix's
// width, so the file's bytes do not depend on the thread count.
constexpr std::size_t kSegmentBytes = std::size_t{1} << 20;
// A guess of a row's text: region columns plus a few bytes per value.
constexpr std::size_t kRowBytes = 64;
constexpr std::size_t kValueBytes = 8;
// More writing threads than this only add memory.
constexpr std::size_t kMaxThreads = 64;

// Rows [begin, end) of segment k.
struct SegmentRows {
    std::size_t begin = 0;
    std::size_t end = 0;
};

// How the rows are cut into segments: the same for a matrix in memory and
// one streamed, so that both give the same bytes.
class SegmentPlan {
public:
    SegmentPlan(std::size_t rows, std::size_t cols) : rows_(rows) {
        const std::size_t row_bytes = kRowBytes + kValueBytes * std::min(cols, kSegmentBytes);
        per_segment_ = std::max<std::size_t>(1, kSegmentBytes / row_bytes);
    }
    std::size_t segments() const { return rows_ == 0 ? 1 : (rows_ - 1) / per_segment_ + 1; }
    SegmentRows rows_of(std::size_t k) const {
        const std::size_t begin = std::min(k * per_segment_, rows_);
        return {begin, std::min(begin + per_segment_, rows_)};
    }

private:
    std::size_t rows_;
    std::size_t per_segment_ = 1;
};

// The segments' text: the header, then each segment's rows from `append`.
Status write_segments(const std::string& path, const std::string& header, std::size_t rows, std::size_t cols,
                      std::size_t threads, bool quiet,
                      const std::function<void(std::size_t, SegmentRows, TextBuffer&)>& append) {
    const SegmentPlan plan(rows, cols);
    LiveStatus status(quiet, fmt::format("Writing {}", path), "rows", rows, std::chrono::seconds(1));
    return write_segmented_gzip(path, plan.segments(), std::min(threads, kMaxThreads),
                                [&](std::size_t k, TextBuffer& text) {
                                    if (k == 0) text.append(header);
                                    const SegmentRows part = plan.rows_of(k);
                                    append(k, part, text);
                                    status.add(part.end - part.begin);
                                });
}

// Hands the source's batches out in segment order to the writing threads,
// which ask in any order: segment k waits until segment k - 1 has fetched.
class OrderedFetch {
public:
    explicit OrderedFetch(const RowBatchSource& source) : source_(source) {}

    // Fills `batch` with the rows of segment k; false after a failure.
    bool fetch(std::size_t k, SegmentRows rows, Matrix& batch) {
        std::unique_lock guard(lock_);
        turn_.wait(guard, [&] { return next_ == k; });
        if (!failed_ && !thrown_) {
            try {
                if (auto got = source_(rows.begin, rows.end, batch); !got) failed_ = std::move(got.error());
            } catch (...) {
                thrown_ = std::current_exception();
            }
        }
        ++next_;
        turn_.notify_all();
        return !failed_ && !thrown_;
    }

    Status outcome() {
        if (thrown_) std::rethrow_exception(thrown_);
        if (failed_) return fail(std::move(*failed_));
        return {};
    }

private:
    const RowBatchSource& source_;
    std::mutex lock_;
    std::condition_variable turn_;
    std::size_t next_ = 0;
    std::optional<Error> failed_;
    std::exception_ptr thrown_;
};

}  // namespace

Status write_matrix_file(const std::string& path, const Matrix& matrix, const std::vector<std::string>& sample_labels,
                         const Params& params) {
    const std::string header = matrix_header_line(matrix, sample_labels, params);
    return write_segments(path, header, matrix.rows(), matrix.cols, params.numberOfProcessors, params.quiet,
                          [&](std::size_t, SegmentRows part, TextBuffer& text) {
                              append_matrix_rows(text, matrix, part.begin, part.end);
                          });
}

Status write_matrix_stream(const std::string& path, const StreamedMatrix& layout, std::size_t threads, bool quiet,
                           const RowBatchSource& source) {
    OrderedFetch fetch(source);
    Status written = write_segments(path, layout.header_line, layout.rows, layout.cols, threads, quiet,
                                    [&](std::size_t k, SegmentRows part, TextBuffer& text) {
                                        Matrix batch;
                                        if (fetch.fetch(k, part, batch))
                                            append_matrix_rows(text, batch, 0, batch.rows());
                                    });
    if (auto fetched = fetch.outcome(); !fetched) return fetched;
    return written;
}

}  // namespace binscope
