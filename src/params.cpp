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
