// describe.cpp - what a matrix file holds (info) and the range of every
// sample's values (range), as text or JSON.
#include <cmath>
#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "figure/color_scale.hpp"
#include "matrix_file/matrix_file.hpp"
#include "matrix_file/row_stream.hpp"
#include "matrix_ops/matrix_ops.hpp"
#include "matrix_ops/op_support.hpp"
#include "output/number_format.hpp"
#include "utf8.hpp"

namespace binscope {

namespace {

using Json = nlohmann::ordered_json;

// The header's keys that describe the run rather than the rows and samples.
Json run_parameters(const MatrixHeader& header) {
    const auto object = nlohmann::json::parse(header.json, nullptr, false);
    Json out = Json::object();
    for (const auto& [key, value] : object.items())
        if (key != "group_boundaries" && key != "group_labels" && key != "sample_labels" && key != "sample_boundaries")
            out[key] = value;
    return out;
}

Json info_json(const MatrixHeader& h) {
    Json samples = Json::array();
    for (std::size_t s = 0; s < h.sample_labels.size(); ++s)
        samples.push_back({{"label", h.sample_labels[s]}, {"bins", h.sample_boundaries[s + 1] - h.sample_boundaries[s]}});
    Json groups = Json::array();
    for (std::size_t g = 0; g < h.group_labels.size(); ++g)
        groups.push_back({{"label", h.group_labels[g]}, {"rows", h.group_boundaries[g + 1] - h.group_boundaries[g]}});
    return Json{{"rows", h.group_boundaries.back()},
                {"columns", h.sample_boundaries.back()},
                {"samples", samples},
                {"groups", groups},
                {"parameters", run_parameters(h)}};
}

std::string info_text(const Json& info, const std::string& path) {
    std::string out = fmt::format("Matrix file {}\n{} rows x {} columns\n", to_utf8_lossy(path),
                                  info["rows"].get<std::size_t>(), info["columns"].get<std::size_t>());
    out += fmt::format("{} sample(s):\n", info["samples"].size());
    std::size_t n = 0;
    for (const auto& s : info["samples"])
        out += fmt::format("  {}. {} ({} bins)\n", ++n, s["label"].get<std::string>(), s["bins"].get<std::size_t>());
    out += fmt::format("{} group(s):\n", info["groups"].size());
    n = 0;
    for (const auto& g : info["groups"])
        out += fmt::format("  {}. {} ({} rows)\n", ++n, g["label"].get<std::string>(), g["rows"].get<std::size_t>());
    out += "Run parameters:\n";
    for (const auto& [key, value] : info["parameters"].items()) out += fmt::format("  {}: {}\n", key, value.dump());
    return out;
}

// One sample's statistics over its finite values.
struct SampleRange {
    std::size_t values = 0;
    std::size_t missing = 0;
    double min = NAN, max = NAN, mean = NAN, p1 = NAN, p50 = NAN, p99 = NAN;
};

Result<SampleRange> sample_range(const FigureInput& input, std::size_t begin, std::size_t end, std::size_t threads) {
    SampleRange range;
    double sum = 0;
    const std::size_t rows = input.cols == 0 ? 0 : input.values.size() / input.cols;
    for (std::size_t r = 0; r < rows; ++r)
        for (std::size_t c = begin; c < end; ++c) {
            const float v = input.values[r * input.cols + c];
            if (std::isnan(v)) ++range.missing;
            if (std::isfinite(v)) sum += v;
        }
    auto selector = RankSelector::create(input, begin, end, threads);
    if (!selector) return fail(std::move(selector.error()));
    range.values = selector->count();
    if (range.values == 0) return range;
    auto ranks = selector->values_of_ranks({0, range.values - 1, percentile_rank(1, range.values),
                                            percentile_rank(50, range.values), percentile_rank(99, range.values)});
    if (!ranks) return fail(std::move(ranks.error()));
    range.min = (*ranks)[0];
    range.max = (*ranks)[1];
    range.p1 = (*ranks)[2];
    range.p50 = (*ranks)[3];
    range.p99 = (*ranks)[4];
    range.mean = sum / static_cast<double>(range.values);
    return range;
}

std::string number(double v) { return std::isnan(v) ? "nan" : json_number(v); }

}  // namespace

OpResult<std::string> matrix_info(const InfoSettings& settings) {
    auto stream = MatrixRowStream::open(settings.input);
    if (!stream) return file_error(std::move(stream.error()));
    const Json info = info_json(stream->header());
    if (settings.json) return info.dump() + "\n";
    return info_text(info, settings.input);
}

OpResult<std::string> matrix_range(const RangeSettings& settings) {
    // The values alone: the regions are checked, not kept.
    auto file = read_matrix_file(settings.input, settings.threads, MatrixRegions::checked);
    if (!file) return file_error(std::move(file.error()));
    const MatrixHeader& h = file->header;
    FigureInput input;
    input.values = std::span<const float>(file->matrix.values.data(), file->matrix.values.size());
    input.cols = file->matrix.cols;
    Json samples = Json::array();
    std::string text = "sample\tvalues\tmissing\tmin\tmax\tmean\tp1\tp50\tp99\n";
    for (std::size_t s = 0; s < h.sample_labels.size(); ++s) {
        auto range = sample_range(input, h.sample_boundaries[s], h.sample_boundaries[s + 1], settings.threads);
        if (!range) return file_error(std::move(range.error()));
        const SampleRange& r = *range;
        const auto value = [](double v) { return std::isnan(v) ? Json() : Json(v); };
        samples.push_back({{"label", h.sample_labels[s]}, {"values", r.values}, {"missing", r.missing},
                           {"min", value(r.min)}, {"max", value(r.max)}, {"mean", value(r.mean)},
                           {"p1", value(r.p1)}, {"p50", value(r.p50)}, {"p99", value(r.p99)}});
        text += fmt::format("{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\t{}\n", h.sample_labels[s], r.values, r.missing,
                            number(r.min), number(r.max), number(r.mean), number(r.p1), number(r.p50), number(r.p99));
    }
    if (settings.json) return Json{{"samples", samples}}.dump() + "\n";
    return text;
}

}  // namespace binscope
