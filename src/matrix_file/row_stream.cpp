// row_stream.cpp - a matrix file's rows a batch at a time: the reader's
// header and row parser over one piece of inflated text at a time.
#include "matrix_file/row_stream.hpp"

#include <condition_variable>
#include <cstring>
#include <deque>
#include <fmt/format.h>
#include <mutex>
#include <thread>

#include "matrix_file/gzip_text.hpp"
#include "matrix_file/matrix_file_internal.hpp"
#include "matrix_file/row_parser.hpp"
#include "matrix_file/text_chunks.hpp"

namespace binscope {

namespace {

// The text held at a time: enough that a piece costs nothing to fetch.
constexpr std::size_t kStreamChunkBytes = std::size_t{1} << 20;
// Pieces inflated ahead of the one whose rows are parsed.
constexpr std::size_t kPiecesAhead = 2;

// Inflates the next pieces of text on a thread of its own, started with
// the first request, while the rows of the piece in hand are parsed.
class TextAhead {
public:
    explicit TextAhead(LineChunks& lines) : lines_(lines) {}
    ~TextAhead() { stop(); }

    // The next piece into `out`, whose buffer is kept for reuse: true, or
    // false at the end of the text, or the error of the text.
    Result<bool> next(ChunkText& out) {
        if (!thread_.joinable() && !stopping_) thread_ = std::thread([this] { inflate(); });
        std::unique_lock guard(lock_);
        changed_.wait(guard, [&] { return !ready_.empty() || stopping_; });
        if (ready_.empty()) return fail("the text was read no further");
        Piece piece = std::move(ready_.front());
        ready_.pop_front();
        if (piece.got && *piece.got) {
            spare_.push_back(std::move(out));
            out = std::move(piece.text);
        }
        changed_.notify_all();
        return std::move(piece.got);
    }

    // Stops the thread once it has finished the piece in hand.
    void stop() {
        {
            std::lock_guard guard(lock_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

private:
    struct Piece {
        Result<bool> got;
        ChunkText text;
    };

    void inflate() {
        while (true) {
            ChunkText text;
            {
                std::unique_lock guard(lock_);
                changed_.wait(guard, [&] { return stopping_ || ready_.size() < kPiecesAhead; });
                if (stopping_) return;
                if (!spare_.empty()) {
                    text = std::move(spare_.back());
                    spare_.pop_back();
                }
            }
            Result<bool> got = false;
            try {
                got = lines_.next(text, kMaxLineBytes);
            } catch (const std::bad_alloc&) {
                got = fail("Out of memory");
            }
            const bool last = !got || !*got;
            {
                std::lock_guard guard(lock_);
                ready_.push_back({std::move(got), std::move(text)});
            }
            changed_.notify_all();
            if (last) return;
        }
    }

    LineChunks& lines_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Piece> ready_;
    std::vector<ChunkText> spare_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace

struct MatrixRowStream::State {
    std::string path;
    GzipText gzip;
    LineChunks lines;
    TextAhead ahead{lines};   // after `lines`, so that it stops first
    TextChunk chunk;          // the text in hand; chunk.begin is the next line
    MatrixHeader header;
    std::size_t rows = 0;
    std::size_t cols = 0;
    std::size_t next_row = 0;
    std::size_t group = 0;    // the group of next_row

    State(std::string path_, GzipText gzip_)
        : path(std::move(path_)), gzip(std::move(gzip_)), lines(gzip, kStreamChunkBytes) {}

    Error in_file(Error e) const { return std::move(e).context(reading_context(path)); }

    // The next line (without "\n"), or none at the end of the text.
    Result<std::optional<std::string_view>> next_line() {
        if (chunk.begin >= chunk.text.size()) {
            auto got = ahead.next(chunk.text);
            if (!got) return fail(std::move(got.error()));
            chunk.begin = 0;
            if (!*got) return std::optional<std::string_view>();
        }
        const char* at = chunk.text.data() + chunk.begin;
        const char* newline =
            static_cast<const char*>(std::memchr(at, '\n', chunk.text.size() - chunk.begin));
        std::string_view line(at, static_cast<std::size_t>(newline - at));
        chunk.begin += line.size() + 1;
        if (line.ends_with('\r')) line.remove_suffix(1);
        return std::optional<std::string_view>(line);
    }

    // The line of the next row; an error when the text ends before it.
    Result<std::string_view> row_line() {
        auto line = next_line();
        if (!line) return fail(std::move(line.error()));
        if (!*line) return fail(rows_short_of_header(next_row, rows));
        return **line;
    }

    // After the last row: no text may follow. A fault of the compressed
    // data is reported first, as the whole-file reader does.
    Status check_end() {
        auto line = next_line();
        Status ended = line ? (*line ? Status(fail(rows_beyond_header(rows))) : Status()) : Status(fail(line.error()));
        if (!ended) {
            ahead.stop();  // the compressed data is read here from now on
            if (auto drained = gzip.drain(); !drained) return fail(std::move(drained.error()));
        }
        return ended;
    }

    GroupIndex group_of_next() {
        const auto& bounds = header.group_boundaries;
        while (group + 2 < bounds.size() && next_row >= bounds[group + 1]) ++group;
        return static_cast<GroupIndex>(group);
    }

    Status read_one(float* values, Region* region) {
        auto line = row_line();
        if (!line) return fail(std::move(line.error()));
        if (region != nullptr) {
            if (auto parsed = parse_row(*line, cols, values, *region); !parsed)
                return fail(fmt::format("line {}: {}", line_of_row(next_row), parsed.error().message()));
            region->group = group_of_next();
        }
        ++next_row;
        return next_row == rows ? check_end() : Status();
    }
};

MatrixRowStream::MatrixRowStream(std::unique_ptr<State> state) : state_(std::move(state)) {}
MatrixRowStream::MatrixRowStream(MatrixRowStream&&) noexcept = default;
MatrixRowStream& MatrixRowStream::operator=(MatrixRowStream&&) noexcept = default;
MatrixRowStream::~MatrixRowStream() = default;

Result<MatrixRowStream> MatrixRowStream::open(const std::string& path) {
    auto gzip = GzipText::open(path);
    if (!gzip) return fail(std::move(gzip.error()).context(reading_context(path)));
    auto state = std::make_unique<State>(path, std::move(*gzip));
    auto header = read_header(state->lines, state->chunk);
    if (!header) {
        Error e = std::move(header.error());
        if (auto drained = state->gzip.drain(); !drained) e = std::move(drained.error());
        return fail(state->in_file(std::move(e)));
    }
    state->header = std::move(*header);
    state->rows = state->header.group_boundaries.back();
    state->cols = state->header.sample_boundaries.back();
    if (state->rows == 0)
        if (auto ended = state->check_end(); !ended) return fail(state->in_file(std::move(ended.error())));
    return MatrixRowStream(std::move(state));
}

const MatrixHeader& MatrixRowStream::header() const { return state_->header; }
const std::string& MatrixRowStream::path() const { return state_->path; }
std::size_t MatrixRowStream::rows() const { return state_->rows; }
std::size_t MatrixRowStream::cols() const { return state_->cols; }
std::size_t MatrixRowStream::position() const { return state_->next_row; }

Status MatrixRowStream::read(std::size_t count, float* values, std::vector<Region>& regions) {
    State& s = *state_;
    count = std::min(count, s.rows - s.next_row);
    for (std::size_t i = 0; i < count; ++i) {
        regions.emplace_back();
        if (auto got = s.read_one(values + i * s.cols, &regions.back()); !got) return fail(s.in_file(std::move(got.error())));
    }
    return {};
}

Status MatrixRowStream::skip(std::size_t count) {
    State& s = *state_;
    count = std::min(count, s.rows - s.next_row);
    for (std::size_t i = 0; i < count; ++i)
        if (auto got = s.read_one(nullptr, nullptr); !got) return fail(s.in_file(std::move(got.error())));
    return {};
}

}  // namespace binscope
