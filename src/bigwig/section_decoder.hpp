// section_decoder.hpp - decodes one data block's section and writes its runs
// into a query's per-base values.
#pragma once

#include <cstdint>
#include <expected>
#include <span>

#include "bigwig/bigwig_file.hpp"

namespace binscope::bigwig {

// Writes every run of the block that overlaps [start, end) of chrom into
// out (out[0] is base start), clipped, in record order, so later runs
// overwrite earlier ones. A block of another chromosome writes nothing.
// Data shorter than its header or its records, or an unknown section type,
// is InvalidFile. Runs whose end lies before their start are skipped.
std::expected<void, BBIReadError> write_section(std::span<const std::uint8_t> data, ByteOrder order,
                                                std::uint32_t chrom, std::uint32_t start, std::uint32_t end,
                                                std::span<float> out);

}  // namespace binscope::bigwig
