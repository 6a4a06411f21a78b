// section_decoder.cpp - bedGraph, variableStep and fixedStep records.
#include "bigwig/section_decoder.hpp"

#include <algorithm>
#include <fmt/format.h>

#include "bigwig/byte_cursor.hpp"

namespace binscope::bigwig {

namespace {

constexpr std::size_t kSectionHeaderSize = 24;

std::unexpected<BBIReadError> invalid(std::string message) {
    return std::unexpected(BBIReadError{BBIReadError::Kind::InvalidFile, std::move(message)});
}

}  // namespace

std::expected<void, BBIReadError> write_section(std::span<const std::uint8_t> data, ByteOrder order,
                                                std::uint32_t chrom, std::uint32_t start, std::uint32_t end,
                                                std::span<float> out) {
    ByteCursor c(data, order);
    if (c.remaining() < kSectionHeaderSize) return invalid("Block shorter than its section header");
    std::uint32_t chrom_id = 0, section_start = 0, section_end = 0, item_step = 0, item_span = 0;
    std::uint8_t type = 0, reserved = 0;
    std::uint16_t item_count = 0;
    c.u32(chrom_id);
    c.u32(section_start);
    c.u32(section_end);
    c.u32(item_step);
    c.u32(item_span);
    c.u8(type);
    c.u8(reserved);
    c.u16(item_count);
    if (chrom_id != chrom) return {};

    std::size_t record_size = 0;
    switch (type) {
    case 1: record_size = 12; break;
    case 2: record_size = 8; break;
    case 3: record_size = 4; break;
    default: return invalid(fmt::format("Unknown bigwig section type: {}", type));
    }
    if (c.remaining() < std::size_t{item_count} * record_size)
        return invalid("Section records run past the end of the block");

    // Clips one run and writes it; 32-bit sums that wrapped give end < start
    // and are skipped like any other inverted run.
    auto put = [&](std::uint32_t rs, std::uint32_t re, float v) {
        if (!(re > start && rs < end)) return;
        std::uint32_t cs = std::max(rs, start), ce = std::min(re, end);
        if (cs >= ce) return;
        std::fill(out.begin() + (cs - start), out.begin() + (ce - start), v);
    };
    std::uint32_t s = section_start;
    for (std::uint16_t i = 0; i < item_count; ++i) {
        std::uint32_t rs = 0, re = 0;
        float v = 0;
        switch (type) {
        case 1:
            c.u32(rs);
            c.u32(re);
            c.f32(v);
            break;
        case 2:
            c.u32(rs);
            c.f32(v);
            re = rs + item_span;
            break;
        default:
            c.f32(v);
            rs = s;
            re = s + item_span;
            s += item_step;
            break;
        }
        put(rs, re, v);
    }
    return {};
}

}  // namespace binscope::bigwig
