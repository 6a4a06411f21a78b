// header_params.cpp - the run parameters a matrix file's header records.
#include "matrix_ops/header_params.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <limits>

namespace binscope {

namespace {

using nlohmann::json;

// The one value of a per-sample array whose entries are all equal.
json same_for_every_sample(const json& header, const char* key) {
    const json& values = header.at(key);
    if (!values.is_array() || values.empty() ||
        !std::all_of(values.begin(), values.end(), [&](const json& v) { return v == values.front(); }))
        throw std::invalid_argument(std::string("the samples differ in \"") + key + "\"");
    return values.front();
}

std::optional<double> optional_number(const json& value) {
    if (value.is_null()) return std::nullopt;
    return value.get<double>();
}

Params from_object(const json& h) {
    Params p;
    auto average = parse_average_type(h.at("bin avg type").get<std::string>());
    if (!average) throw std::invalid_argument(average.error().message());
    p.averageTypeBins = *average;
    p.binSize = same_for_every_sample(h, "bin size").get<std::int64_t>();
    p.regionBodyLength = same_for_every_sample(h, "body").get<std::int64_t>();
    p.afterRegionStartLength = same_for_every_sample(h, "downstream").get<std::int64_t>();
    p.beforeRegionStartLength = same_for_every_sample(h, "upstream").get<std::int64_t>();
    p.unscaled3prime = same_for_every_sample(h, "unscaled 3 prime").get<std::int64_t>();
    p.unscaled5prime = same_for_every_sample(h, "unscaled 5 prime").get<std::int64_t>();
    const json point = same_for_every_sample(h, "ref point");
    if (!point.is_null()) {
        auto parsed = parse_ref_point(point.get<std::string>());
        if (!parsed) throw std::invalid_argument(parsed.error().message());
        p.referencePoint = *parsed;
    }
    p.maxThreshold = optional_number(h.at("max threshold"));
    p.minThreshold = optional_number(h.at("min threshold"));
    p.missingDataAsZero = h.at("missing data as zero").get<bool>();
    p.nanAfterEnd = h.at("nan after end").get<bool>();
    p.numberOfProcessors = std::max<std::size_t>(1, h.at("proc number").get<std::size_t>());
    p.scale = h.at("scale").is_null() ? std::numeric_limits<double>::quiet_NaN() : h.at("scale").get<double>();
    p.skipZeros = h.at("skip zeros").get<bool>();
    p.sortRegions = h.at("sort regions").get<std::string>();
    p.sortUsing = h.at("sort using").get<std::string>();
    p.verbose = h.at("verbose").get<bool>();
    p.quiet = true;
    return p;
}

}  // namespace

Result<Params> params_from_header(const std::string& text) {
    try {
        return from_object(json::parse(text));
    } catch (const std::exception& e) {
        return fail(e.what());
    }
}

}  // namespace binscope
