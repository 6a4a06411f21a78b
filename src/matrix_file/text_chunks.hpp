// text_chunks.hpp - the inflated text of a matrix file cut into chunks of
// whole lines, and the bounded queue that hands them from the thread that
// inflates to the threads that parse.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "error.hpp"
#include "matrix/matrix.hpp"
#include "matrix_file/gzip_text.hpp"

namespace binscope {

// Text inflated into a buffer: grown without being zeroed first, since
// the inflating overwrites it at once.
using ChunkText = std::vector<char, UninitializedAllocator<char>>;

// Whole lines of text, each ending in "\n", and the row the first one is.
struct TextChunk {
    ChunkText text;
    std::size_t begin = 0;      // the lines start at text[begin]
    std::size_t first_row = 0;  // row index of the first line (the header is no row)
    std::size_t rows = 0;       // lines in the chunk
};

// Cuts the text of a gzip file at line ends.
class LineChunks {
public:
    LineChunks(GzipText& gzip, std::size_t target_bytes) : gzip_(gzip), target_(target_bytes) {}

    // Replaces `out` with whole lines: at least the target size of them
    // unless the text ends first, and at least one line. A last line
    // without "\n" gets one. False when no text is left. A line longer
    // than max_line bytes is an error, as are the gzip file's.
    Result<bool> next(ChunkText& out, std::size_t max_line);
    // True when every line has been handed out.
    bool at_end() const { return ended_ && carry_.empty(); }

private:
    Result<bool> fill(ChunkText& out, std::size_t want);

    GzipText& gzip_;
    std::size_t target_;
    ChunkText carry_;  // the start of a line the last chunk could not hold
    bool ended_ = false;
};

// A queue of at most `capacity` chunks, and the spare buffers of chunks
// already parsed.
class ChunkQueue {
public:
    explicit ChunkQueue(std::size_t capacity) : capacity_(capacity == 0 ? 1 : capacity) {}

    // Waits for room; false when the queue was aborted or `cancelled`
    // was raised.
    bool push(TextChunk chunk, const std::atomic<bool>& cancelled);
    // Waits for a chunk; none when the queue is closed and empty, aborted,
    // or `cancelled` was raised.
    std::optional<TextChunk> pop(const std::atomic<bool>& cancelled);
    // No chunk follows: pop() returns none once the queue is empty.
    void close();
    // Ends every wait at once (a thread failed); chunks left are dropped.
    void abort();

    // A buffer for the next chunk: a spare one when there is one.
    ChunkText take_buffer();
    void give_back(ChunkText buffer);

private:
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<TextChunk> chunks_;
    std::vector<ChunkText> spare_;
    std::size_t capacity_;
    bool closed_ = false;
    bool aborted_ = false;
};

}  // namespace binscope
