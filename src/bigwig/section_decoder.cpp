// section_decoder.cpp - bedGraph, variableStep and fixedStep records.
#include "bigwig/section_decoder.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstring>
#include <fmt/format.h>

#include "bigwig/byte_cursor.hpp"
#include "bigwig/file_errors.hpp"

namespace binscope::bigwig {

namespace {

constexpr std::size_t kSectionHeaderSize = 24;

// bedGraph records (start, end, value, 12 bytes) have the layout of Run,
// so they are copied whole and, in a file of the other byte order, turned
// around in place: a block of a thousand records costs a copy, not a
// thousand bounds-checked reads. The caller has checked that they are there.
void decode_bedgraph(ByteCursor& c, ByteOrder order, DecodedSection& out) {
    static_assert(sizeof(Run) == 12 && offsetof(Run, end) == 4 && offsetof(Run, value) == 8);
    std::span<const std::uint8_t> records;
    c.take(out.runs.size() * sizeof(Run), records);
    if (!records.empty()) std::memcpy(out.runs.data(), records.data(), records.size());
    const bool native = (order == ByteOrder::Little) == (std::endian::native == std::endian::little);
    bool ordered = true;
    std::uint32_t previous_end = 0;
    for (Run& r : out.runs) {
        if (!native) {
            r.start = std::byteswap(r.start);
            r.end = std::byteswap(r.end);
            r.value = std::bit_cast<float>(std::byteswap(std::bit_cast<std::uint32_t>(r.value)));
        }
        ordered &= r.end >= r.start && r.start >= previous_end;
        previous_end = r.end;
    }
    out.ordered = ordered;
}

// Calls f(start, end, value) with the part inside [start, end) of every
// run that overlaps it, in record order, while f returns true; returns
// whether it always did. Inverted runs are skipped.
template <class F>
bool for_each_clipped(const DecodedSection& section, std::uint32_t start, std::uint32_t end, F&& f) {
    auto clip = [&](const Run& r) {
        if (!(r.end > start && r.start < end)) return true;
        const std::uint32_t cs = std::max(r.start, start), ce = std::min(r.end, end);
        return cs >= ce || f(cs, ce, r.value);
    };
    if (section.ordered) {
        // Ends never decrease here, and runs are disjoint, so only the runs
        // from the first one ending after start up to the query end matter.
        auto it = std::partition_point(section.runs.begin(), section.runs.end(),
                                       [&](const Run& r) { return r.end <= start; });
        for (; it != section.runs.end() && it->start < end; ++it)
            if (!clip(*it)) return false;
    } else {
        for (const Run& r : section.runs)
            if (!clip(r)) return false;
    }
    return true;
}

}  // namespace

Status decode_section(std::span<const std::uint8_t> data, ByteOrder order, DecodedSection& out) {
    out.records = {};
    out.runs.clear();
    out.ordered = false;
    ByteCursor c(data, order);
    if (c.remaining() < kSectionHeaderSize) return fail(invalid_file("Block shorter than its section header"));
    std::uint32_t section_start = 0, section_end = 0, item_step = 0, item_span = 0;
    std::uint8_t type = 0, reserved = 0;
    std::uint16_t item_count = 0;
    c.u32(out.chrom_id);
    c.u32(section_start);
    c.u32(section_end);
    c.u32(item_step);
    c.u32(item_span);
    c.u8(type);
    c.u8(reserved);
    c.u16(item_count);

    std::size_t record_size = 0;
    switch (type) {
    case 1: record_size = 12; break;
    case 2: record_size = 8; break;
    case 3: record_size = 4; break;
    default: out.records = fail(invalid_file(fmt::format("Unknown bigwig section type: {}", type))); return {};
    }
    if (c.remaining() < std::size_t{item_count} * record_size) {
        out.records = fail(invalid_file("Section records run past the end of the block"));
        return {};
    }

    out.runs.resize(item_count);
    if (type == 1) {
        decode_bedgraph(c, order, out);
        return {};
    }
    std::uint32_t s = section_start;  // fixedStep position; 32-bit sums as stored
    bool ordered = true;
    for (std::uint16_t i = 0; i < item_count; ++i) {
        Run& r = out.runs[i];
        if (type == 2) {
            c.u32(r.start);
            c.f32(r.value);
            r.end = r.start + item_span;
        } else {
            c.f32(r.value);
            r.start = s;
            r.end = s + item_span;
            s += item_step;
        }
        if (r.end < r.start || (i > 0 && r.start < out.runs[i - 1].end)) ordered = false;
    }
    out.ordered = ordered;
    return {};
}

Status write_section(const DecodedSection& section, std::uint32_t chrom, std::uint32_t start, std::uint32_t end,
                     std::span<float> values) {
    if (section.chrom_id != chrom) return {};
    if (!section.records) return fail(section.records.error());

    for_each_clipped(section, start, end, [&](std::uint32_t cs, std::uint32_t ce, float value) {
        std::fill(values.begin() + (cs - start), values.begin() + (ce - start), value);
        return true;
    });
    return {};
}

Result<bool> append_runs(const DecodedSection& section, std::uint32_t chrom, std::uint32_t start, std::uint32_t end,
                         std::uint32_t& done, std::vector<ScoreRun>& out) {
    if (section.chrom_id != chrom) return true;
    if (!section.records) return fail(section.records.error());
    return for_each_clipped(section, start, end, [&](std::uint32_t cs, std::uint32_t ce, float value) {
        if (cs < done) return false;
        out.push_back({cs, ce, value});
        done = ce;
        return true;
    });
}

}  // namespace binscope::bigwig
