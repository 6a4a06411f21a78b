// segmented_gzip.cpp - segments formatted and deflated on a few threads,
// written in order into one gzip member.
//
// Each segment is compressed on its own and joined to the next (see
// DeflateJoiner), so the segments' bytes simply follow one another in one
// deflate stream that the last segment ends. The CRC-32 of the whole text
// is combined from the segments' own.
#include "output/segmented_gzip.hpp"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "output/deflate_joiner.hpp"
#include "output/output_file.hpp"

namespace binscope {

namespace {

// The header every file gets: no name, no time stamp, OS byte 255, so the
// same text always gives the same file.
constexpr std::array<unsigned char, 10> kGzipHeader{0x1F, 0x8B, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF};
// The file is written in chunks of up to this many bytes.
constexpr std::size_t kOutputChunk = 32768;
// Compressed segments waiting to be written, per thread: enough that no
// thread waits for the writer, few enough to bound the memory.
constexpr std::size_t kSlotsPerThread = 4;
// The compression level of every segment.
constexpr int kLevel = 6;

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
    DeflatedSegment segment;
    bool ready = false;  // compressed, not yet written
};

// The state the writing thread and the helpers share. Segment k goes to
// slot k % slots.size(); it is claimed only once segment k - slots.size()
// has been written, so a slot is never filled while it is written out.
struct Pipeline {
    Pipeline(const SegmentText& t, std::size_t n, std::size_t slot_count) : text(t), count(n), slots(slot_count) {}

    bool claimable() const { return next < count && next < written + slots.size(); }

    // Formats and compresses segment k into its slot.
    Status produce(std::size_t k, TextBuffer& buffer, DeflateJoiner& joiner) {
        buffer.clear();
        text(k, buffer);
        return joiner.compress(buffer.view(), k + 1 == count, slots[k % slots.size()].segment);
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
        auto joiner = DeflateJoiner::create(kLevel);
        if (!joiner) {
            std::lock_guard<std::mutex> guard(p.lock);
            p.stop_with(std::move(joiner.error()), nullptr);
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
            Status status = p.produce(k, buffer, *joiner);
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
    std::optional<DeflateJoiner> joiner;
    if (alone) {
        auto created = DeflateJoiner::create(kLevel);
        if (!created) return fail(std::move(created.error()));
        joiner.emplace(std::move(*created));
    }
    ChunkedFile out(file);
    if (auto s = out.put(kGzipHeader.data(), kGzipHeader.size()); !s) return s;
    std::uint32_t crc = 0;  // of no text
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
                    Status status = p.produce(j, buffer, *joiner);
                    guard.lock();
                    if (!status) return status;
                    p.slots[j % p.slots.size()].ready = true;
                } else {
                    p.done.wait(guard);
                }
            }
        }
        const DeflatedSegment& segment = slot.segment;
        if (auto s = out.put(segment.bytes.get(), segment.size); !s) return s;
        crc = static_cast<std::uint32_t>(crc32_combine(crc, segment.crc, static_cast<z_off_t>(segment.length)));
        length += segment.length;
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
