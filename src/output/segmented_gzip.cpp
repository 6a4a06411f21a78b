// segmented_gzip.cpp - segments formatted and deflated on a few threads,
// written in order into one gzip member.
//
// Each segment is an independent raw deflate stream (no back-reference
// reaches into the previous segment), ended by a sync flush: an empty
// stored block that leaves the bit stream on a byte boundary without
// ending it, so the segments' bytes simply follow one another. The last
// segment finishes the stream. The CRC-32 of the whole text is combined
// from the segments' own.
#include "output/segmented_gzip.hpp"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <fmt/format.h>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "output/output_file.hpp"

namespace binscope {

namespace {

// The header every file gets: no name, no time stamp, OS byte 255, so the
// same text always gives the same file.
constexpr std::array<unsigned char, 10> kGzipHeader{0x1F, 0x8B, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF};
// The file is written in chunks of up to this many bytes.
constexpr std::size_t kOutputChunk = 32768;
// zlib counts in 32-bit units: larger texts are fed in pieces.
constexpr std::size_t kMaxPiece = std::size_t{1} << 30;
// Compressed segments waiting to be written, per thread: enough that no
// thread waits for the writer, few enough to bound the memory.
constexpr std::size_t kSlotsPerThread = 4;

Error zlib_error(int rc) { return Error(fmt::format("compression failed (zlib error {})", rc)); }

// One raw deflate stream at level 6, reset for every segment.
class Deflater {
public:
    Deflater() = default;
    Deflater(const Deflater&) = delete;
    Deflater& operator=(const Deflater&) = delete;
    ~Deflater() {
        if (ready_) deflateEnd(&z_);
    }

    Status init() {
        const int rc = deflateInit2(&z_, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
        if (rc != Z_OK) return fail(fmt::format("cannot start the compressor (zlib error {})", rc));
        ready_ = true;
        return {};
    }

    // Compresses text into out[0, size): ended by a sync flush, or by the
    // end of the stream when `last`. `out` only grows, so it is reused.
    Status compress(std::string_view text, bool last, std::vector<unsigned char>& out, std::size_t& size) {
        if (const int rc = deflateReset(&z_); rc != Z_OK) return fail(zlib_error(rc));
        size = 0;
        // Matrix text shrinks several times; the buffer doubles when it does not.
        if (out.size() < text.size() / 4 + 4096) out.resize(text.size() / 4 + 4096);
        const int end_flush = last ? Z_FINISH : Z_SYNC_FLUSH;
        do {
            const std::size_t piece = std::min(text.size(), kMaxPiece);
            const int flush = piece == text.size() ? end_flush : Z_NO_FLUSH;
            z_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
            z_.avail_in = static_cast<uInt>(piece);
            while (true) {
                if (size == out.size()) out.resize(out.size() * 2);
                const std::size_t room = std::min<std::size_t>(out.size() - size, UINT_MAX);
                z_.next_out = out.data() + size;
                z_.avail_out = static_cast<uInt>(room);
                const int rc = deflate(&z_, flush);
                size += room - z_.avail_out;
                if (rc == Z_STREAM_ERROR) return fail(zlib_error(rc));
                const bool done = flush == Z_FINISH ? rc == Z_STREAM_END : z_.avail_in == 0 && z_.avail_out != 0;
                if (done) break;
                // Only a full output buffer may stop deflate short.
                if (z_.avail_out != 0) return fail(zlib_error(rc));
            }
            text.remove_prefix(piece);
        } while (!text.empty());
        return {};
    }

private:
    z_stream z_{};
    bool ready_ = false;
};

// The file's bytes in chunks of up to kOutputChunk.
class ChunkedFile {
public:
    explicit ChunkedFile(OutputFile& file) : file_(file) {}

    Status put(const unsigned char* data, std::size_t size) {
        while (size > 0) {
            const std::size_t take = std::min(size, buffer_.size() - used_);
            std::memcpy(buffer_.data() + used_, data, take);
            used_ += take;
            data += take;
            size -= take;
            if (used_ == buffer_.size())
                if (auto s = flush(); !s) return s;
        }
        return {};
    }

    Status flush() {
        if (used_ == 0) return {};
        const std::size_t n = used_;
        used_ = 0;
        return file_.write(std::string_view(reinterpret_cast<const char*>(buffer_.data()), n));
    }

private:
    OutputFile& file_;
    std::array<unsigned char, kOutputChunk> buffer_;
    std::size_t used_ = 0;
};

struct Slot {
    std::vector<unsigned char> bytes;
    std::size_t size = 0;
    std::uint32_t crc = 0;
    std::uint64_t length = 0;
    bool ready = false;  // compressed, not yet written
};

// The state the writing thread and the helpers share. Segment k goes to
// slot k % slots.size(); it is claimed only once segment k - slots.size()
// has been written, so a slot is never filled while it is written out.
struct Pipeline {
    Pipeline(const SegmentText& t, std::size_t n, std::size_t slot_count) : text(t), count(n), slots(slot_count) {}

    bool claimable() const { return next < count && next < written + slots.size(); }

    // Formats and compresses segment k into its slot.
    Status produce(std::size_t k, TextBuffer& buffer, Deflater& deflater) {
        Slot& slot = slots[k % slots.size()];
        buffer.clear();
        text(k, buffer);
        const std::string_view t = buffer.view();
        slot.crc = static_cast<std::uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(t.data()), t.size()));
        slot.length = t.size();
        return deflater.compress(t, k + 1 == count, slot.bytes, slot.size);
    }

    // Records the first failure and stops everyone; call with `lock` held.
    void stop_with(std::optional<Error> error, std::exception_ptr exception) {
        if (!failure && !thrown) {
            failure = std::move(error);
            thrown = exception;
        }
        stop = true;
        work.notify_all();
        done.notify_all();
    }

    const SegmentText& text;
    const std::size_t count;
    std::vector<Slot> slots;
    std::mutex lock;
    std::condition_variable work;  // a segment became claimable, or stop
    std::condition_variable done;  // a segment became ready, or stop
    std::size_t next = 0;          // the next segment to claim
    std::size_t written = 0;       // segments written to the file
    bool stop = false;
    std::optional<Error> failure;
    std::exception_ptr thrown;
};

void helper(Pipeline& p) {
    try {
        TextBuffer buffer;
        Deflater deflater;
        if (Status ready = deflater.init(); !ready) {
            std::lock_guard<std::mutex> guard(p.lock);
            p.stop_with(std::move(ready.error()), nullptr);
            return;
        }
        while (true) {
            std::size_t k = 0;
            {
                std::unique_lock<std::mutex> guard(p.lock);
                p.work.wait(guard, [&] { return p.stop || p.next >= p.count || p.claimable(); });
                if (p.stop || p.next >= p.count) return;
                k = p.next++;
            }
            Status status = p.produce(k, buffer, deflater);
            std::lock_guard<std::mutex> guard(p.lock);
            if (!status) {
                p.stop_with(std::move(status.error()), nullptr);
                return;
            }
            p.slots[k % p.slots.size()].ready = true;
            p.done.notify_one();
        }
    } catch (...) {
        std::lock_guard<std::mutex> guard(p.lock);
        p.stop_with(std::nullopt, std::current_exception());
    }
}

// Stops and joins the helpers however the writing thread leaves.
struct Helpers {
    explicit Helpers(Pipeline& p) : pipeline(p) {}
    ~Helpers() {
        {
            std::lock_guard<std::mutex> guard(pipeline.lock);
            pipeline.stop = true;
        }
        pipeline.work.notify_all();
        for (std::thread& t : threads) t.join();
    }
    Pipeline& pipeline;
    std::vector<std::thread> threads;
};

// The writing thread: writes segments in order. Only when no helper could
// be started does it format and compress them itself.
Status write_all(Pipeline& p, OutputFile& file, bool alone) {
    TextBuffer buffer;
    Deflater deflater;
    if (alone)
        if (auto s = deflater.init(); !s) return s;
    ChunkedFile out(file);
    if (auto s = out.put(kGzipHeader.data(), kGzipHeader.size()); !s) return s;
    auto crc = static_cast<std::uint32_t>(crc32_z(0, nullptr, 0));
    std::uint64_t length = 0;

    for (std::size_t k = 0; k < p.count; ++k) {
        Slot& slot = p.slots[k % p.slots.size()];
        {
            std::unique_lock<std::mutex> guard(p.lock);
            while (!slot.ready) {
                if (p.stop) return {};  // the failure is reported by the caller
                if (alone && p.claimable()) {
                    const std::size_t j = p.next++;
                    guard.unlock();
                    Status status = p.produce(j, buffer, deflater);
                    guard.lock();
                    if (!status) return status;
                    p.slots[j % p.slots.size()].ready = true;
                } else {
                    p.done.wait(guard);
                }
            }
        }
        if (auto s = out.put(slot.bytes.data(), slot.size); !s) return s;
        crc = static_cast<std::uint32_t>(crc32_combine(crc, slot.crc, static_cast<z_off_t>(slot.length)));
        length += slot.length;
        {
            std::lock_guard<std::mutex> guard(p.lock);
            slot.ready = false;
            ++p.written;
        }
        p.work.notify_all();
    }

    unsigned char trailer[8];
    for (int i = 0; i < 4; ++i) {
        trailer[i] = static_cast<unsigned char>(crc >> (8 * i));
        trailer[4 + i] = static_cast<unsigned char>(length >> (8 * i));
    }
    if (auto s = out.put(trailer, sizeof trailer); !s) return s;
    return out.flush();
}

}  // namespace

Status write_segmented_gzip(const std::string& path, std::size_t count, std::size_t threads,
                            const SegmentText& text) {
    auto file = OutputFile::create(path);
    if (!file) return fail(std::move(file.error()));
    count = std::max<std::size_t>(count, 1);
    threads = std::clamp<std::size_t>(threads, 1, count);
    Pipeline pipeline(text, count, kSlotsPerThread * threads);

    Status status;
    {
        Helpers helpers(pipeline);
        try {
            helpers.threads.reserve(threads);
            for (std::size_t i = 0; i < threads; ++i) helpers.threads.emplace_back(helper, std::ref(pipeline));
        } catch (const std::system_error&) {
            // Fewer helpers: the remaining threads share the work.
        }
        status = write_all(pipeline, *file, helpers.threads.empty());
        if (!status) {
            std::lock_guard<std::mutex> guard(pipeline.lock);
            pipeline.stop_with(std::move(status.error()), nullptr);
        }
    }  // helpers joined here
    if (pipeline.thrown) std::rethrow_exception(pipeline.thrown);
    if (pipeline.failure) return fail(std::move(*pipeline.failure));
    return file->close();
}

}  // namespace binscope
