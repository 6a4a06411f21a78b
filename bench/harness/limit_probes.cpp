// limit_probes.cpp - the three single-threaded limit probes of a workload,
// and zlib's compression beside the second.
#include "harness/limit_probes.hpp"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <variant>

#include "bed_reader.hpp"
#include "bigwig/byte_source.hpp"
#include "bigwig/file_header.hpp"
#include "bigwig/rtree_index.hpp"
#include "bigwig_reader.hpp"
#include "cli.hpp"
#include "output/deflate_joiner.hpp"
#include "output/number_format.hpp"
#include "params.hpp"
#include "params_from_cli.hpp"
#include "region/zones.hpp"
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

// (a) The distinct blocks of every score file that the run's windows
// touch, found through the file's own index (untimed), then each read and
// inflated once, in file order.
void probe_read_inflate(const Params& params, ProbeResult& result) {
    auto regions = read_regions(params.regionsFileName, params.metagene);
    if (!regions) throw std::runtime_error(regions.error().message());
    ZoneLayout layout;
    ZoneScratch zone_scratch;

    struct FileBlocks {
        std::string path;
        std::uint32_t buffer_size = 0;
        std::vector<bigwig::DataBlock> blocks;
    };
    std::vector<FileBlocks> files;
    for (const std::string& path : params.scoreFileName) {
        auto table = open_chrom_table(path);
        if (!table) throw std::runtime_error("cannot open " + path);
        auto source = bigwig::open_file_source(path);
        if (!source) throw std::runtime_error("cannot open " + path);
        auto file = bigwig::read_layout(**source);
        if (!file) throw std::runtime_error("cannot open " + path);
        std::unordered_map<std::string, std::uint32_t> ids;
        for (const ChromInfo& c : file->chroms) ids.emplace(c.name, c.id);
        bigwig::RTreeIndex index(file->order);
        if (!index.load_root(**source, file->header.full_index_offset))
            throw std::runtime_error("bad index in " + path);

        FileBlocks fb{path, file->header.uncompress_buf_size, {}};
        for (const Region& region : regions->regions) {
            auto chrom = resolve_chrom(*table, region.chrom);
            if (!chrom || !compute_zones(region, params, layout, zone_scratch)) continue;
            const std::int64_t length = chrom->second;
            for (const Zone& zone : layout.zones)
                for (const Block& iv : zone.intervals) {
                    const std::int64_t s = std::max<std::int64_t>(iv.start, 0);
                    const std::int64_t e = std::min<std::int64_t>(iv.end, length);
                    if (e <= s) continue;
                    if (!index.find_blocks(**source, ids.at(chrom->first), static_cast<std::uint32_t>(s),
                                           static_cast<std::uint32_t>(e), fb.blocks))
                        throw std::runtime_error("bad index in " + path);
                }
        }
        auto key = [](const bigwig::DataBlock& b) { return std::pair(b.offset, b.size); };
        std::sort(fb.blocks.begin(), fb.blocks.end(), [&](auto& a, auto& b) { return key(a) < key(b); });
        fb.blocks.erase(std::unique(fb.blocks.begin(), fb.blocks.end(),
                                    [&](auto& a, auto& b) { return key(a) == key(b); }),
                        fb.blocks.end());
        files.push_back(std::move(fb));
    }

    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    std::vector<std::uint8_t> raw, inflated;
    const auto t0 = Clock::now();
    for (const FileBlocks& fb : files) {
        auto source = bigwig::open_file_source(fb.path);
        if (!source) throw std::runtime_error("cannot open " + fb.path);
        inflated.resize(fb.buffer_size);
        for (const bigwig::DataBlock& b : fb.blocks) {
            raw.resize(b.size);
            if (!(*source)->read_at(b.offset, raw)) throw std::runtime_error("cannot read " + fb.path);
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

// (b) The text in segments of 1 MiB, each compressed and joined as the
// matrix file's are, and their CRC-32s combined.
void probe_compress(std::string_view text, ProbeResult& result) {
    constexpr std::size_t kSegment = std::size_t{1} << 20;
    auto joiner = DeflateJoiner::create(6);
    if (!joiner) throw std::runtime_error(joiner.error().message());
    DeflatedSegment segment;
    std::uint32_t crc = 0;
    const auto t0 = Clock::now();
    for (std::size_t at = 0; at < text.size() || at == 0; at += kSegment) {
        const std::string_view part = text.substr(at, kSegment);
        if (!joiner->compress(part, at + kSegment >= text.size(), segment))
            throw std::runtime_error("compressing a segment failed");
        crc = static_cast<std::uint32_t>(crc32_combine(crc, segment.crc, static_cast<z_off_t>(part.size())));
        result.compressed_bytes += segment.size;
    }
    result.compress_seconds = seconds_since(t0);
    result.text_bytes = text.size();
    asm volatile("" : : "r"(crc) : "memory");
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
    auto std_format = [](char* p, float v) { return std::to_chars(p, p + 64, v, std::chars_format::fixed).ptr; };
    auto own_format = [](char* p, float v) { return write_float_shortest(p, v); };
    std::tie(result.format_std_seconds, result.std_text_matches) = time_format(parsed, text, std_format);
    std::tie(result.format_own_seconds, result.own_text_matches) = time_format(parsed, text, own_format);
    result.format_seconds = result.format_std_seconds;
    if (result.own_text_matches && (!result.std_text_matches || result.format_own_seconds < result.format_seconds))
        result.format_seconds = result.format_own_seconds;
}

}  // namespace

ProbeResult run_probes(const std::vector<std::string>& command_line, const std::string& matrix_gz) {
    ProbeResult result;
    const Params params = parse_params(command_line);
    probe_read_inflate(params, result);
    const std::string text = gunzip_file(matrix_gz);
    probe_compress(text, result);
    probe_zlib_compress(text, result);
    probe_format(text, result);
    return result;
}

}  // namespace binscope::bench
