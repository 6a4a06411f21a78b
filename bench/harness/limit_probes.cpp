// limit_probes.cpp - the three single-threaded limit probes of a workload,
// and zlib's compression beside the second.
#include "harness/limit_probes.hpp"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <variant>

#include "bed_reader.hpp"
#include "bigwig_reader.hpp"
#include "cli.hpp"
#include "output/segmented_gzip.hpp"
#include "params.hpp"
#include "params_from_cli.hpp"
#include "harness/bigwig_blocks.hpp"
#include "harness/gzip_text.hpp"

namespace binscope::bench {

namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

Params parse_params(const std::vector<std::string>& command_line) {
    auto parsed = parse_command_line(command_line);
    if (!std::holds_alternative<Cli>(parsed)) throw std::runtime_error("the workload's command line does not parse");
    auto params = make_params(std::get<Cli>(parsed));
    if (!params) throw std::runtime_error(params.error().message());
    return *params;
}

// The stretches of a region that a run's bins read: the reference point
// with its flanks, or the body (its blocks under --metagene) with its
// flanks, each flank on the side the strand gives it.
std::vector<Block> region_windows(const Region& region, const Params& params) {
    const bool minus = region.strand == U'-';
    const std::int64_t upstream = params.beforeRegionStartLength;
    const std::int64_t downstream = params.afterRegionStartLength;
    const std::int64_t left = minus ? downstream : upstream;
    const std::int64_t right = minus ? upstream : downstream;
    if (params.referencePoint) {
        std::int64_t anchor = (region.start() + region.end()) / 2;
        if (*params.referencePoint == RefPoint::TSS) anchor = minus ? region.end() : region.start();
        if (*params.referencePoint == RefPoint::TES) anchor = minus ? region.start() : region.end();
        return {{anchor - left, anchor + right}};
    }
    std::vector<Block> windows = {{region.start() - left, region.start()}};
    if (params.metagene) windows.insert(windows.end(), region.blocks.begin(), region.blocks.end());
    else windows.push_back({region.start(), region.end()});
    windows.push_back({region.end(), region.end() + right});
    return windows;
}

struct FileBlocks {
    std::string path;
    std::uint32_t buffer_size = 0;
    std::vector<IndexedBlock> blocks;
};

// The distinct blocks of one score file that the run's windows touch, in
// file order.
FileBlocks touched_blocks(const std::string& path, const RegionSet& regions, const Params& params) {
    auto table = open_chrom_table(path);
    if (!table) throw std::runtime_error(table.error().message());
    const BigWigBlocks index = read_bigwig_blocks(path);
    FileBlocks fb{path, index.uncompress_buf_size, {}};
    for (const Region& region : regions.regions) {
        const auto chrom = resolve_chrom(*table, region.chrom);
        if (!chrom) continue;
        const std::uint32_t id = index.chrom_ids.at(chrom->first);
        for (const Block& window : region_windows(region, params)) {
            const std::int64_t s = std::max<std::int64_t>(window.start, 0);
            const std::int64_t e = std::min<std::int64_t>(window.end, chrom->second);
            if (e > s) index.find(id, static_cast<std::uint32_t>(s), static_cast<std::uint32_t>(e), fb.blocks);
        }
    }
    auto key = [](const IndexedBlock& b) { return std::pair(b.offset, b.size); };
    std::sort(fb.blocks.begin(), fb.blocks.end(), [&](auto& a, auto& b) { return key(a) < key(b); });
    fb.blocks.erase(
        std::unique(fb.blocks.begin(), fb.blocks.end(), [&](auto& a, auto& b) { return key(a) == key(b); }),
        fb.blocks.end());
    return fb;
}

// (a) The distinct blocks of every score file that the run's windows
// touch, found through the file's own index (untimed), then each read and
// inflated once, in file order.
void probe_read_inflate(const Params& params, ProbeResult& result) {
    auto regions = read_regions(params.regionsFileName, params.metagene);
    if (!regions) throw std::runtime_error(regions.error().message());
    std::vector<FileBlocks> files;
    for (const std::string& path : params.scoreFileName) files.push_back(touched_blocks(path, *regions, params));

    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    std::vector<char> raw;
    std::vector<unsigned char> inflated;
    const auto t0 = Clock::now();
    for (const FileBlocks& fb : files) {
        std::ifstream in(fb.path, std::ios::binary);
        inflated.resize(fb.buffer_size);
        for (const IndexedBlock& b : fb.blocks) {
            raw.resize(b.size);
            in.seekg(static_cast<std::streamoff>(b.offset));
            if (!in.read(raw.data(), static_cast<std::streamsize>(raw.size())))
                throw std::runtime_error("cannot read " + fb.path);
            std::size_t written = 0;
            if (libdeflate_zlib_decompress(inflater, raw.data(), raw.size(), inflated.data(), inflated.size(),
                                           &written) != LIBDEFLATE_SUCCESS)
                throw std::runtime_error("cannot inflate a block of " + fb.path);
            ++result.blocks;
            result.stored_bytes += b.size;
            result.inflated_bytes += written;
        }
    }
    result.read_inflate_seconds = seconds_since(t0);
    libdeflate_free_decompressor(inflater);
}

// (b) The text written as the matrix file's is, through the output
// stage's gzip writer on one thread: segments of 1 MiB, each compressed
// at level 6 and joined into one stream, and the CRC-32. The bytes go to
// /dev/null.
void probe_compress(std::string_view text, ProbeResult& result) {
    constexpr std::size_t kSegment = std::size_t{1} << 20;
    const std::size_t segments = std::max<std::size_t>(1, (text.size() + kSegment - 1) / kSegment);
    const auto t0 = Clock::now();
    const Status written = write_segmented_gzip("/dev/null", segments, 1, [&](std::size_t k, TextBuffer& out) {
        const std::string_view part = text.substr(std::min(text.size(), k * kSegment), kSegment);
        out.append(part);
    });
    result.compress_seconds = seconds_since(t0);
    if (!written) throw std::runtime_error(written.error().message());
    result.text_bytes = text.size();
}

// zlib for comparison: one raw deflate stream at level 6 (15-bit window,
// memory level 8).
void probe_zlib_compress(std::string_view text, ProbeResult& result) {
    z_stream z{};
    if (deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::vector<unsigned char> out(1 << 20);
    const auto t0 = Clock::now();
    std::size_t done = 0;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        const std::size_t piece = std::min<std::size_t>(text.size() - done, 1 << 20);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data() + done));
        z.avail_in = static_cast<uInt>(piece);
        done += piece;
        const int flush = done == text.size() ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            rc = deflate(&z, flush);
            if (rc == Z_STREAM_ERROR) throw std::runtime_error("deflate failed");
            result.zlib_compressed_bytes += out.size() - z.avail_out;
        } while (z.avail_out == 0);
    }
    result.zlib_compress_seconds = seconds_since(t0);
    deflateEnd(&z);
}

// The row values of the matrix text, and where each row's value text
// (from its first tab) starts and ends.
struct ParsedValues {
    std::vector<float> values;
    std::size_t cols = 0;
    std::vector<std::pair<std::size_t, std::size_t>> row_text;
};

ParsedValues parse_values(std::string_view text) {
    ParsedValues parsed;
    std::size_t at = text.find('\n') + 1;  // past the header line
    while (at < text.size()) {
        const std::size_t eol = text.find('\n', at);
        std::size_t p = at;
        for (int field = 0; field < 6; ++field) p = text.find('\t', p) + 1;
        if (p == 0 || p > eol) throw std::runtime_error("a matrix row has fewer than 7 fields");
        parsed.row_text.emplace_back(p - 1, eol);
        std::size_t cols = 0;
        while (p <= eol) {
            const std::size_t end = std::min(text.find('\t', p), eol);
            float v = 0;
            auto [ptr, ec] = std::from_chars(text.data() + p, text.data() + end, v);
            if (ec != std::errc() || ptr != text.data() + end) throw std::runtime_error("a matrix value does not parse");
            parsed.values.push_back(v);
            ++cols;
            p = end + 1;
        }
        if (parsed.cols == 0) parsed.cols = cols;
        if (cols != parsed.cols) throw std::runtime_error("matrix rows of different lengths");
        at = eol + 1;
    }
    return parsed;
}

// Formats every value with a tab before it and a newline after each row,
// through a reused 1 MiB buffer; returns the seconds taken and whether the
// text equals the file's.
template <class Format>
std::pair<double, bool> time_format(const ParsedValues& parsed, std::string_view text, Format&& format) {
    std::vector<char> buffer((1 << 20) + 64 * (parsed.cols + 1));
    char* const start = buffer.data();
    char* const flush_at = start + (1 << 20);
    const std::size_t rows = parsed.cols == 0 ? 0 : parsed.values.size() / parsed.cols;
    const float* v = parsed.values.data();
    std::uint64_t sink = 0;
    const auto t0 = Clock::now();
    char* p = start;
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < parsed.cols; ++c) {
            *p++ = '\t';
            p = format(p, *v++);
        }
        *p++ = '\n';
        if (p >= flush_at) {
            sink += static_cast<std::uint64_t>(p - start) + static_cast<unsigned char>(start[7]);
            p = start;
        }
    }
    const double seconds = seconds_since(t0);
    asm volatile("" : : "r"(sink) : "memory");

    // The check, untimed: row by row against the file.
    bool same = true;
    v = parsed.values.data();
    for (std::size_t r = 0; r < rows && same; ++r) {
        p = start;
        for (std::size_t c = 0; c < parsed.cols; ++c) {
            *p++ = '\t';
            p = format(p, *v++);
        }
        const auto [b, e] = parsed.row_text[r];
        same = std::string_view(start, static_cast<std::size_t>(p - start)) == text.substr(b, e - b);
    }
    return {seconds, same};
}

void probe_format(std::string_view text, ProbeResult& result) {
    const ParsedValues parsed = parse_values(text);
    result.values = parsed.values.size();
    auto format = [](char* p, float v) { return std::to_chars(p, p + 64, v, std::chars_format::fixed).ptr; };
    std::tie(result.format_seconds, result.text_matches) = time_format(parsed, text, format);
}

}  // namespace

ProbeResult run_probes(const std::vector<std::string>& command_line, const std::string& matrix_gz) {
    ProbeResult result;
    const Params params = parse_params(command_line);
    probe_read_inflate(params, result);
    const std::string text = gunzip_file(matrix_gz);
    probe_compress(text, result);
    result.compressed_bytes = std::filesystem::file_size(matrix_gz);
    probe_zlib_compress(text, result);
    probe_format(text, result);
    return result;
}

}  // namespace binscope::bench
