// matrix_file.cpp - reading a matrix file: the header first, then the rows
// inflated on one thread in chunks of whole lines and parsed on the others
// into their places in the matrix, so that the result does not depend on
// the thread count.
#include "matrix_file/matrix_file.hpp"
#include "matrix_file/matrix_file_internal.hpp"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <fmt/format.h>
#include <limits>
#include <mutex>
#include <new>
#include <numeric>
#include <sys/mman.h>
#include <unistd.h>

#include "matrix_file/gzip_text.hpp"
#include "matrix_file/header_json.hpp"
#include "matrix_file/row_parser.hpp"
#include "matrix_file/text_chunks.hpp"
#include "utf8.hpp"
#include "worker_pool.hpp"

namespace binscope {

namespace {

// One inflating thread keeps this many parsing threads busy at most.
constexpr std::size_t kMaxParsers = 8;
// Deflate turns one byte into at most 1032 bytes of text. A row takes at
// least 8 bytes of text (six region fields, of which the coordinates are
// a digit each) and a value 2 more (a tab and a digit).
constexpr std::uint64_t kMaxInflation = 1032;
constexpr std::uint64_t kMinRowBytes = 8;
constexpr std::uint64_t kMinValueBytes = 2;

// Room for `rows` regions, or for as many as the system grants when it
// refuses that much: a header may promise far more rows than its file
// holds, and the file's own error then stands.
void reserve_regions(std::vector<Region>& regions, std::size_t rows) {
    for (std::size_t room = rows; room > 0; room /= 2) {
        try {
            regions.reserve(room);
            return;
        } catch (const std::bad_alloc&) {
        }
    }
}

// What the threads share while the rows are read.
struct RowReading {
    std::size_t rows = 0;
    std::size_t cols = 0;
    float* values = nullptr;
    ChunkQueue queue;
    // The matrix's regions, with room reserved for every row: the
    // inflating thread makes each chunk's rows before handing the chunk
    // on, and the parsers fill them in through `region_slots`, which no
    // growth within the reserved room moves. Regions only checked are
    // parsed into a scratch region of each parser and left there.
    std::vector<Region>* regions = nullptr;
    Region* region_slots = nullptr;
    bool keep_regions = true;
    std::size_t rows_read = 0;  // by the inflating thread

    // The error of the smallest line number: the same whatever the timing.
    std::mutex error_lock;
    std::atomic<std::size_t> error_line{std::numeric_limits<std::size_t>::max()};
    std::optional<Error> error;

    RowReading(std::size_t rows_, std::size_t cols_, float* values_, std::vector<Region>& regions_,
               std::size_t capacity, MatrixRegions kept)
        : rows(rows_), cols(cols_), values(values_), queue(capacity), regions(&regions_),
          keep_regions(kept == MatrixRegions::kept) {
        if (keep_regions) reserve_regions(*regions, rows);
        region_slots = regions->data();
    }

    void record(std::size_t line, Error e) {
        std::lock_guard guard(error_lock);
        if (line >= error_line.load()) return;
        error_line.store(line);
        error = std::move(e);
    }
};

// Parses every line of a chunk into its rows' places; `scratch` takes the
// regions that are only checked.
void parse_chunk(RowReading& reading, TextChunk& chunk, Region& scratch) {
    const char* at = chunk.text.data() + chunk.begin;
    const char* const end = chunk.text.data() + chunk.text.size();
    for (std::size_t i = 0; i < chunk.rows; ++i) {
        const char* newline = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        std::string_view line(at, static_cast<std::size_t>(newline - at));
        if (line.ends_with('\r')) line.remove_suffix(1);
        const std::size_t row = chunk.first_row + i;
        float* const values = reading.values + row * reading.cols;
        Region& region = reading.keep_regions ? reading.region_slots[row] : scratch;
        if (auto parsed = parse_row(line, reading.cols, values, region); !parsed) {
            reading.record(line_of_row(row),
                           fail(fmt::format("line {}: {}", line_of_row(row), parsed.error().message())).error());
            return;
        }
        at = newline + 1;
    }
}

void parse_chunks(RowReading& reading, const std::atomic<bool>& cancelled) {
    Region scratch;
    while (auto chunk = reading.queue.pop(cancelled)) {
        // Rows after a known error are not looked at.
        if (!cancelled.load() && line_of_row(chunk->first_row) < reading.error_line.load())
            parse_chunk(reading, *chunk, scratch);
        reading.queue.give_back(std::move(chunk->text));
    }
}

// Cuts the chunk after `keep` lines.
void keep_lines(TextChunk& chunk, std::size_t keep) {
    auto at = chunk.text.begin() + static_cast<std::ptrdiff_t>(chunk.begin);
    for (std::size_t i = 0; i < keep; ++i) at = std::find(at, chunk.text.end(), '\n') + 1;
    chunk.text.erase(at, chunk.text.end());
    chunk.rows = keep;
}

// The line ends in [at, end): found with memchr, which is many times faster
// than a byte-by-byte count over lines thousands of bytes long.
std::size_t count_line_ends(const char* at, const char* const end) {
    std::size_t count = 0;
    while (at != end) {
        const void* newline = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
        if (newline == nullptr) break;
        ++count;
        at = static_cast<const char*>(newline) + 1;
    }
    return count;
}

// Hands one chunk to the parsers; false when no more should follow.
bool dispatch(RowReading& reading, TextChunk chunk, const std::atomic<bool>& cancelled) {
    chunk.rows = count_line_ends(chunk.text.data() + chunk.begin, chunk.text.data() + chunk.text.size());
    chunk.first_row = reading.rows_read;
    bool more = true;
    if (chunk.rows > reading.rows - reading.rows_read) {
        keep_lines(chunk, reading.rows - reading.rows_read);
        reading.record(line_of_row(reading.rows), rows_beyond_header(reading.rows));
        more = false;
    }
    reading.rows_read += chunk.rows;
    if (reading.keep_regions) {
        // Growing past the room would move the regions under the parsers.
        if (reading.rows_read > reading.regions->capacity()) throw std::bad_alloc();
        reading.regions->resize(reading.rows_read);
    }
    return reading.queue.push(std::move(chunk), cancelled) && more;
}

// The inflating thread: the first chunk's rows, then chunk after chunk.
void inflate_chunks(RowReading& reading, LineChunks& lines, TextChunk first, const std::atomic<bool>& cancelled) {
    bool more = dispatch(reading, std::move(first), cancelled);
    while (more && line_of_row(reading.rows_read) < reading.error_line.load()) {
        TextChunk chunk;
        chunk.text = reading.queue.take_buffer();
        auto got = lines.next(chunk.text, kMaxLineBytes);
        if (!got) {
            reading.record(line_of_row(reading.rows_read), std::move(got.error()));
            break;
        }
        if (!*got) break;
        more = dispatch(reading, std::move(chunk), cancelled);
    }
    reading.queue.close();
}

// One job of the worker pool: the first inflates, the others parse. A
// failing thread ends every wait, so that none is left waiting.
void run_job(RowReading& reading, LineChunks& lines, TextChunk& first, std::size_t worker,
             const std::atomic<bool>& cancelled) {
    try {
        if (worker == 0) {
            inflate_chunks(reading, lines, std::move(first), cancelled);
        } else {
            parse_chunks(reading, cancelled);
        }
    } catch (...) {
        reading.queue.abort();
        throw;
    }
}

}  // namespace

namespace {

// Asks for the values' memory in huge pages where the system grants them
// on request: the parsers, which touch it first, then take one page fault
// per huge page rather than one per small page. Only a hint: when refused,
// nothing changes but the speed.
void prefer_huge_pages(MatrixValues& values) {
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto first = reinterpret_cast<std::uintptr_t>(values.data());
    const auto begin = (first + page - 1) / page * page;
    const auto end = (first + values.size() * sizeof(float)) / page * page;
    if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// Room for the values the header promises, once it is clear that the file
// could hold them: a header cannot claim more memory than its file's text.
// The columns are bounded too when there are no rows, for the sake of
// whatever is sized by them later.
Result<MatrixValues> allocate_values(std::size_t rows, std::size_t cols, std::uint64_t compressed_size) {
    std::uint64_t row_bytes = 0, text_bytes = 0, most_text = 0, count = 0;
    const bool too_many = __builtin_mul_overflow(std::uint64_t{cols}, kMinValueBytes, &row_bytes) ||
                          __builtin_add_overflow(row_bytes, kMinRowBytes, &row_bytes) ||
                          __builtin_mul_overflow(row_bytes, std::uint64_t{std::max<std::size_t>(rows, 1)},
                                                 &text_bytes) ||
                          __builtin_mul_overflow(compressed_size, kMaxInflation, &most_text) ||
                          text_bytes > most_text || __builtin_mul_overflow(rows, cols, &count);
    if (too_many)
        return fail(fmt::format("the header promises {} rows of {} values, more than a file of {} bytes can hold",
                                rows, cols, compressed_size));
    MatrixValues values;
    values.resize(count);
    prefer_huge_pages(values);
    return values;
}

// Each region (when kept) in the group its row is in by the header's
// boundaries, and the rest of the matrix's row bookkeeping.
void assemble_regions(RowReading& reading, const MatrixHeader& header, Matrix& matrix) {
    std::vector<Region>& regions = *reading.regions;
    const auto& bounds = header.group_boundaries;
    for (std::size_t g = 0; g + 1 < bounds.size() && reading.keep_regions; ++g)
        for (std::size_t r = bounds[g]; r < bounds[g + 1]; ++r) regions[r].group = static_cast<GroupIndex>(g);
    matrix.region_set.groups = header.group_labels;
    matrix.row_regions.resize(reading.rows_read);
    std::iota(matrix.row_regions.begin(), matrix.row_regions.end(), std::size_t{0});
    matrix.group_boundaries = header.group_boundaries;
    matrix.sample_labels = header.sample_labels;
}

// The rows after the header, on one inflating and `threads` parsing threads.
Status read_rows(LineChunks& lines, TextChunk first, const MatrixHeader& header, std::size_t threads,
                 MatrixRegions regions, MatrixFile& file) {
    const std::size_t parsers = std::clamp<std::size_t>(threads, 1, kMaxParsers);
    RowReading reading(header.group_boundaries.back(), file.matrix.cols, file.matrix.values.data(),
                       file.matrix.region_set.regions, parsers, regions);
    Status ran;
    if (lines.at_end()) {
        // The first chunk holds every row: no thread would have work.
        const std::atomic<bool> never{false};
        inflate_chunks(reading, lines, std::move(first), never);
        parse_chunks(reading, never);
    } else {
        ran = run_on_workers(parsers + 1, [&](std::size_t worker, const std::atomic<bool>& cancelled) {
            run_job(reading, lines, first, worker, cancelled);
        });
    }
    if (!ran) return ran;
    if (reading.error) return fail(std::move(*reading.error));
    if (reading.rows_read != reading.rows) return fail(rows_short_of_header(reading.rows_read, reading.rows));
    assemble_regions(reading, header, file.matrix);
    return {};
}

Result<MatrixFile> read_matrix(GzipText& gzip, std::size_t threads, std::size_t chunk_bytes, MatrixRegions regions) {
    LineChunks lines(gzip, chunk_bytes);
    TextChunk first;
    auto header = read_header(lines, first);
    if (!header) return fail(std::move(header.error()));
    MatrixFile file;
    file.matrix.cols = header->sample_boundaries.back();
    auto values = allocate_values(header->group_boundaries.back(), file.matrix.cols, gzip.compressed_size());
    if (!values) return fail(std::move(values.error()));
    file.matrix.values = std::move(*values);
    if (auto read = read_rows(lines, std::move(first), *header, threads, regions, file); !read)
        return fail(std::move(read.error()));
    file.header = std::move(*header);
    return file;
}

// read_matrix, with a fault of the compressed data reported before any
// other: the same error, however far each way of reading got.
Result<MatrixFile> read_matrix_checked(GzipText gzip, std::size_t threads, std::size_t chunk_bytes,
                                       MatrixRegions regions) {
    auto file = read_matrix(gzip, threads, chunk_bytes, regions);
    if (!file)
        if (auto drained = gzip.drain(); !drained) return fail(std::move(drained.error()));
    return file;
}

}  // namespace

std::string reading_context(const std::string& name) {
    return fmt::format("Reading matrix file {}", to_utf8_lossy(name));
}

// The header line, split off the first chunk of text.
Result<MatrixHeader> read_header(LineChunks& lines, TextChunk& first) {
    auto got = lines.next(first.text, kMaxHeaderBytes);
    if (!got) return fail(std::move(got.error()));
    if (!*got) return fail("the file holds no text: it has no header line");
    const auto newline = std::find(first.text.begin(), first.text.end(), '\n');
    const auto length = static_cast<std::size_t>(newline - first.text.begin());
    if (length > kMaxHeaderBytes)
        return fail(fmt::format("line 1: the header line is longer than {} MiB", kMaxHeaderBytes >> 20));
    std::string_view line(first.text.data(), length);
    if (line.ends_with('\r')) line.remove_suffix(1);
    first.begin = length + 1;
    return parse_header_line(line);
}

Error rows_beyond_header(std::size_t rows) {
    return Error(fmt::format("line {}: the file has more rows than the {} its header's \"group_boundaries\" end at",
                             line_of_row(rows), rows));
}

Error rows_short_of_header(std::size_t read, std::size_t rows) {
    return Error(fmt::format("the file ends after {} rows, but its header's \"group_boundaries\" end at {}", read,
                             rows));
}

Result<MatrixFile> read_matrix_file(const std::string& path, std::size_t threads, MatrixRegions regions) {
    auto gzip = GzipText::open(path);
    if (!gzip) return fail(std::move(gzip.error()).context(reading_context(path)));
    auto file = read_matrix_checked(std::move(*gzip), threads, kMatrixChunkBytes, regions);
    if (!file) return fail(std::move(file.error()).context(reading_context(path)));
    return file;
}

Result<MatrixFile> read_matrix_bytes(std::string_view bytes, const std::string& name, std::size_t threads,
                                     std::size_t chunk_bytes, MatrixRegions regions) {
    auto file = read_matrix_checked(GzipText::from_bytes(bytes), threads, std::max<std::size_t>(chunk_bytes, 1),
                                    regions);
    if (!file) return fail(std::move(file.error()).context(reading_context(name)));
    return file;
}

}  // namespace binscope
