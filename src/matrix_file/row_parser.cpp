// row_parser.cpp - a matrix row's fields, found with memchr and read with
// std::from_chars (the values with its faster equal), without allocating
// for the values.
#include "matrix_file/row_parser.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fmt/format.h>

#include "matrix_file/decimal_float.hpp"
#include "utf8.hpp"

namespace binscope {

namespace {

constexpr std::size_t kRegionFields = 6;

// The number of tab-separated fields of line.
std::size_t count_fields(std::string_view line) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), '\t')) + 1;
}

std::unexpected<Error> field_count_error(std::string_view line, std::size_t cols) {
    return fail(fmt::format("expected {} fields (6 region columns and {} values), found {}", cols + kRegionFields,
                             cols, count_fields(line)));
}

// Each of the comma-separated 64-bit integers of field `number` (2 or 3),
// in order, to `take`.
template <class Take>
Status parse_coordinates(std::string_view field, std::size_t number, const Take& take) {
    const char* at = field.data();
    const char* const end = at + field.size();
    while (true) {
        const char* comma = static_cast<const char*>(std::memchr(at, ',', static_cast<std::size_t>(end - at)));
        const char* piece_end = comma != nullptr ? comma : end;
        std::int64_t value = 0;
        const auto [ptr, ec] = std::from_chars(at, piece_end, value);
        if (ec != std::errc() || ptr != piece_end || at == piece_end)
            return fail(fmt::format("field {}: {} is not a 64-bit integer",
                                    number, shown_field(std::string_view(at, piece_end))));
        take(value);
        if (comma == nullptr) return {};
        at = comma + 1;
    }
}

Status parse_blocks(std::string_view starts_field, std::string_view ends_field, BlockList& blocks) {
    // The starts make the blocks; the ends then complete them in order.
    blocks.clear();
    auto start = [&](std::int64_t value) { blocks.push_back({value, value}); };
    if (auto s = parse_coordinates(starts_field, 2, start); !s) return s;
    std::size_t ends = 0;
    auto end = [&](std::int64_t value) {
        if (ends < blocks.size()) blocks[ends].end = value;
        ++ends;
    };
    if (auto s = parse_coordinates(ends_field, 3, end); !s) return s;
    if (blocks.size() != ends)
        return fail(fmt::format("fields 2 and 3 hold {} block starts and {} block ends", blocks.size(), ends));
    return {};
}

Status parse_region(const std::array<std::string_view, kRegionFields>& fields, Region& region) {
    if (!is_valid_utf8(fields[0])) return fail("field 1 (the chromosome) is not valid UTF-8");
    if (!is_valid_utf8(fields[3])) return fail("field 4 (the name) is not valid UTF-8");
    if (auto s = parse_blocks(fields[1], fields[2], region.blocks); !s) return s;
    region.chrom = fields[0];
    region.name = fields[3];
    region.score = fields[4];
    region.strand = fields[5] == "+" ? U'+' : fields[5] == "-" ? U'-' : U'.';
    return {};
}

// A value whose magnitude a float cannot hold reads as the float nearest
// to it: an infinity or a zero of its sign.
float out_of_range_value(std::string_view text) {
    const std::string copy(text);
    return std::strtof(copy.c_str(), nullptr);
}

// Reads `cols` values from `at` on; each ends at a tab, the last at the
// end of the line.
Status parse_values(const char* at, std::size_t cols, float* values, std::string_view line) {
    const char* const end = line.data() + line.size();
    for (std::size_t c = 0; c < cols; ++c) {
        const char* start = at;
        const auto [ptr, ec] = read_decimal_float(at, end, values[c]);
        const bool ends_field = ptr == end || *ptr == '\t';
        if (ec == std::errc::result_out_of_range && ends_field) {
            values[c] = out_of_range_value(std::string_view(start, ptr));
        } else if (ec != std::errc() || !ends_field) {
            const void* tab = std::memchr(start, '\t', static_cast<std::size_t>(end - start));
            const char* field_end = tab != nullptr ? static_cast<const char*>(tab) : end;
            return fail(fmt::format("field {}: {} is not a number", kRegionFields + c + 1,
                                    shown_field(std::string_view(start, field_end))));
        }
        // Too few fields, or too many after the last value.
        if ((ptr == end) != (c + 1 == cols)) return field_count_error(line, cols);
        at = ptr + 1;
    }
    return {};
}

}  // namespace

std::string shown_field(std::string_view text) {
    constexpr std::size_t kMax = 40;
    std::string out = "\"";
    for (std::size_t i = 0; i < std::min(text.size(), kMax); ++i) {
        const char c = text[i];
        out += c >= 0x20 && c < 0x7f ? c : '?';
    }
    out += text.size() > kMax ? "...\"" : "\"";
    return out;
}

Status parse_row(std::string_view line, std::size_t cols, float* values, Region& region) {
    std::array<std::string_view, kRegionFields> fields;
    const char* at = line.data();
    const char* const end = at + line.size();
    for (std::size_t f = 0; f < kRegionFields; ++f) {
        const char* tab = static_cast<const char*>(std::memchr(at, '\t', static_cast<std::size_t>(end - at)));
        // The sixth field ends the line when there are no values.
        const bool last = f + 1 == kRegionFields && cols == 0;
        if ((tab == nullptr) != last) return field_count_error(line, cols);
        fields[f] = std::string_view(at, tab != nullptr ? tab : end);
        at = tab != nullptr ? tab + 1 : end;
    }
    if (auto s = parse_region(fields, region); !s) return s;
    return parse_values(at, cols, values, line);
}

}  // namespace binscope
