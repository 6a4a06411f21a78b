// params.cpp - the names of the run parameters' enumerations, read and written.
#include "params.hpp"

#include "text_util.hpp"

namespace binscope {

Result<RefPoint> parse_ref_point(std::string_view text) {
    const std::string upper = ascii_upper(text);
    if (upper == "TSS") return RefPoint::TSS;
    if (upper == "TES") return RefPoint::TES;
    if (upper == "CENTER") return RefPoint::Center;
    return fail("Unknown reference point: " + upper);
}

Result<AverageType> parse_average_type(std::string_view text) {
    static constexpr std::pair<std::string_view, AverageType> names[] = {
        {"mean", AverageType::Mean}, {"median", AverageType::Median}, {"min", AverageType::Min},
        {"max", AverageType::Max},   {"sum", AverageType::Sum},       {"std", AverageType::Std},
    };
    for (const auto& [name, type] : names)
        if (text == name) return type;
    return fail(Error("unknown average type: " + std::string(text))
                    .context("Invalid --averageTypeBins: " + std::string(text)));
}

SortRegions parse_sort_regions(std::string_view text) {
    const std::string lower = ascii_lower(text);
    if (lower == "no") return SortRegions::No;
    if (lower == "ascend") return SortRegions::Ascend;
    if (lower == "descend") return SortRegions::Descend;
    return SortRegions::Keep;
}

SortUsing parse_sort_using(std::string_view text) {
    const std::string lower = ascii_lower(text);
    if (lower == "median") return SortUsing::Median;
    if (lower == "max") return SortUsing::Max;
    if (lower == "min") return SortUsing::Min;
    if (lower == "sum") return SortUsing::Sum;
    if (lower == "region_length") return SortUsing::RegionLength;
    return SortUsing::Mean;
}

Result<Chunk> parse_chunk(std::string_view text) {
    const auto slash = text.find('/');
    const auto invalid = [] { return fail("expected I/N, the I-th of N parts, with 1 <= I <= N"); };
    if (slash == std::string_view::npos) return invalid();
    const auto index = parse_integer<std::size_t>(text.substr(0, slash), DigitCheck::whole_text_first);
    const auto count = parse_integer<std::size_t>(text.substr(slash + 1), DigitCheck::whole_text_first);
    if (!index || !count || *index < 1 || *index > *count) return invalid();
    return Chunk{*index, *count};
}

std::pair<std::size_t, std::size_t> chunk_rows(const Chunk& chunk, std::size_t rows) {
    // rows * part fits in 128 bits whatever the counts.
    __extension__ using Wide = unsigned __int128;
    const auto bound = [&](std::size_t part) {
        return static_cast<std::size_t>(static_cast<Wide>(rows) * part / chunk.count);
    };
    return {bound(chunk.index - 1), bound(chunk.index)};
}

std::int64_t bins_per_sample(const Params& p) {
    return (p.beforeRegionStartLength + p.afterRegionStartLength + p.regionBodyLength + p.unscaled5prime +
            p.unscaled3prime) /
           p.binSize;
}

std::string_view average_type_name(AverageType type) {
    switch (type) {
        case AverageType::Mean: return "mean";
        case AverageType::Median: return "median";
        case AverageType::Min: return "min";
        case AverageType::Max: return "max";
        case AverageType::Sum: return "sum";
        case AverageType::Std: return "std";
    }
    return "mean";
}

std::string_view ref_point_name(RefPoint point) {
    switch (point) {
        case RefPoint::TSS: return "TSS";
        case RefPoint::TES: return "TES";
        case RefPoint::Center: return "center";
    }
    return "TSS";
}

}  // namespace binscope
