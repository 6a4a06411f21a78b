// text_chunks.cpp - cutting inflated text at line ends, and the queue of
// chunks between the inflating thread and the parsing threads.
#include "matrix_file/text_chunks.hpp"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fmt/format.h>

namespace binscope {

// Inflates into `out` until it holds `want` bytes or the text ends.
Result<bool> LineChunks::fill(ChunkText& out, std::size_t want) {
    std::size_t size = out.size();
    while (size < want) {
        // Grown step by step, so that a small file gets a small buffer.
        if (out.size() == size) out.resize(std::min(want, std::max<std::size_t>(2 * size, 1 << 16)));
        auto got = gzip_.read(out.data() + size, out.size() - size);
        if (!got) return fail(std::move(got.error()));
        if (*got == 0) {
            ended_ = true;
            break;
        }
        size += *got;
    }
    out.resize(size);
    return true;
}

Result<bool> LineChunks::next(ChunkText& out, std::size_t max_line) {
    out.clear();
    out.insert(out.end(), carry_.begin(), carry_.end());
    carry_.clear();
    std::size_t want = std::max(target_, out.size());
    while (true) {
        if (!ended_)
            if (auto filled = fill(out, want); !filled) return filled;
        const auto last_newline = std::find(out.rbegin(), out.rend(), '\n');
        if (last_newline != out.rend()) {
            const std::size_t cut = static_cast<std::size_t>(out.rend() - last_newline);
            carry_.assign(out.begin() + static_cast<std::ptrdiff_t>(cut), out.end());
            out.resize(cut);
            return true;
        }
        if (out.size() > max_line) return fail(fmt::format("a line is longer than {} MiB", max_line >> 20));
        if (ended_) {
            if (out.empty()) return false;
            out.push_back('\n');
            return true;
        }
        want = out.size() * 2;
    }
}

namespace {

// The pool raises its flag without knowing of the queue: waits look at it
// this often.
constexpr std::chrono::milliseconds kCancelCheck{20};

}  // namespace

bool ChunkQueue::push(TextChunk chunk, const std::atomic<bool>& cancelled) {
    std::unique_lock guard(lock_);
    while (!changed_.wait_for(guard, kCancelCheck, [&] { return aborted_ || chunks_.size() < capacity_; }))
        if (cancelled.load()) return false;
    if (aborted_) return false;
    chunks_.push_back(std::move(chunk));
    changed_.notify_all();
    return true;
}

std::optional<TextChunk> ChunkQueue::pop(const std::atomic<bool>& cancelled) {
    std::unique_lock guard(lock_);
    while (!changed_.wait_for(guard, kCancelCheck, [&] { return aborted_ || closed_ || !chunks_.empty(); }))
        if (cancelled.load()) return std::nullopt;
    if (aborted_ || chunks_.empty()) return std::nullopt;
    TextChunk chunk = std::move(chunks_.front());
    chunks_.pop_front();
    changed_.notify_all();
    return chunk;
}

void ChunkQueue::close() {
    std::lock_guard guard(lock_);
    closed_ = true;
    changed_.notify_all();
}

void ChunkQueue::abort() {
    std::lock_guard guard(lock_);
    aborted_ = true;
    chunks_.clear();
    changed_.notify_all();
}

ChunkText ChunkQueue::take_buffer() {
    std::lock_guard guard(lock_);
    if (spare_.empty()) return {};
    ChunkText buffer = std::move(spare_.back());
    spare_.pop_back();
    return buffer;
}

void ChunkQueue::give_back(ChunkText buffer) {
    std::lock_guard guard(lock_);
    // More spares than chunks in flight would only hold memory.
    if (spare_.size() < capacity_ + 1) spare_.push_back(std::move(buffer));
}

}  // namespace binscope
