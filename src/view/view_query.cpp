// view_query.cpp - reading and checking the view's query parameters, and
// the `heatmap` command line of a view.
#include "view/view_query.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <fmt/format.h>

#include "figure/colormap.hpp"

namespace binscope {
namespace {

// A value as an error message shows it: at most 40 bytes, printable ASCII.
std::string shown(std::string_view value) {
    std::string text;
    for (const char c : value.substr(0, 40)) text.push_back(c >= 0x20 && c < 0x7f ? c : '?');
    return value.size() > 40 ? text + "..." : text;
}

Error bad(std::string_view name, std::string_view value, std::string_view why) {
    return Error(fmt::format("Bad parameter {}=\"{}\": {}", name, shown(value), why));
}

// Comma-separated parts of `text` (empty ones included); none for an
// empty text.
std::vector<std::string_view> comma_parts(std::string_view text) {
    std::vector<std::string_view> parts;
    if (text.empty()) return parts;
    for (std::size_t start = 0;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (comma == std::string_view::npos) return parts;
        start = comma + 1;
    }
}

template <class T>
bool parse_whole(std::string_view text, T& out) {
    if (text.empty() || text.front() == '+' || text.front() == '-') return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

Result<std::vector<double>> parse_limits(std::string_view name, std::string_view text) {
    std::vector<double> values;
    for (const std::string_view part : comma_parts(text)) {
        double value = 0;
        const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
        if (part.empty() || ec != std::errc() || end != part.data() + part.size() || !std::isfinite(value))
            return fail(bad(name, text, "expected finite numbers separated by commas"));
        values.push_back(value);
    }
    return values;
}

Result<std::vector<std::size_t>> parse_samples(std::string_view text) {
    std::vector<std::size_t> samples;
    for (const std::string_view part : comma_parts(text)) {
        std::size_t number = 0;
        if (!parse_whole(part, number) || number == 0 || number > 100000)
            return fail(bad("samples", text, "expected sample numbers from 1, separated by commas"));
        samples.push_back(number - 1);
    }
    return samples;
}

template <class Enum, std::size_t N>
Result<Enum> one_of(const Query& query, std::string_view name, const std::array<std::string_view, N>& names,
                    const std::array<Enum, N>& values, std::string_view expected) {
    const auto text = query.get(name);
    if (!text) return values[0];
    for (std::size_t i = 0; i < N; ++i)
        if (*text == names[i]) return values[i];
    return fail(bad(name, *text, fmt::format("expected {}", expected)));
}

Status parse_order(const Query& query, RowOrderSettings& order) {
    auto sort = one_of<SortOrder, 3>(query, "sort", {"keep", "descend", "ascend"},
                                     {SortOrder::keep, SortOrder::descend, SortOrder::ascend},
                                     "keep, descend or ascend");
    if (!sort) return fail(std::move(sort).error());
    order.sort = *sort;
    auto statistic = one_of<RowStatistic, 5>(
        query, "using", {"mean", "median", "max", "min", "sum"},
        {RowStatistic::mean, RowStatistic::median, RowStatistic::max, RowStatistic::min, RowStatistic::sum},
        "mean, median, max, min or sum");
    if (!statistic) return fail(std::move(statistic).error());
    order.sort_using = *statistic;
    auto samples = parse_samples(query.get("samples").value_or(""));
    if (!samples) return fail(std::move(samples).error());
    order.sort_using_samples = std::move(*samples);
    auto k = query.count("k", 0, 0, kMaxViewClusters);
    if (!k) return fail(std::move(k).error());
    order.kmeans = *k;
    if (const auto seed = query.get("seed"); seed && !parse_whole(*seed, order.seed))
        return fail(bad("seed", *seed, "expected a whole number from 0 to 18446744073709551615"));
    return {};
}

Status parse_color_settings(const Query& query, ColorSettings& color) {
    if (const auto map = query.get("cmap")) {
        if (!find_color_map(*map, false)) return fail(bad("cmap", *map, "not a colour map's name"));
        color.color_map = std::string(*map);
    }
    for (const auto& [name, limits] : {std::pair{"zmin", &color.z_min}, std::pair{"zmax", &color.z_max}}) {
        auto values = parse_limits(name, query.get(name).value_or(""));
        if (!values) return fail(std::move(values).error());
        *limits = std::move(*values);
    }
    if (const auto missing = query.get("missing")) {
        std::string written = "#";
        written += *missing;
        if (missing->size() != 6 || !parse_color(written))
            return fail(bad("missing", *missing, "expected a colour as six hex digits rrggbb"));
        color.missing_color = written;
    }
    return {};
}

std::string joined(const std::vector<double>& values) {
    std::string text;
    for (const double v : values) {
        if (!text.empty()) text += ',';
        text += fmt::format("{}", v);
    }
    return text;
}

}  // namespace

std::string ViewDescription::order_key() const {
    const bool sorted = order.sort != SortOrder::keep;
    std::string key = fmt::format("sort={};k={}", static_cast<int>(order.sort), order.kmeans);
    if (sorted) key += fmt::format(";using={}", static_cast<int>(order.sort_using));
    if (order.kmeans > 0) key += fmt::format(";seed={}", order.seed);
    if (sorted || order.kmeans > 0)
        for (const std::size_t s : order.sort_using_samples) key += fmt::format(";s{}", s);
    return key;
}

std::string ViewDescription::color_key() const {
    return fmt::format("cmap={};{};missing={}", color.color_map, limits_key(), color.missing_color);
}

std::string ViewDescription::limits_key() const {
    return fmt::format("zmin={};zmax={}", joined(color.z_min), joined(color.z_max));
}

Result<Query> Query::make(const QueryParams& params, std::span<const std::string_view> allowed) {
    if (params.size() > kMaxQueryParams)
        return fail(fmt::format("Bad query: {} parameters, at most {} are taken", params.size(), kMaxQueryParams));
    for (std::size_t i = 0; i < params.size(); ++i) {
        const std::string& name = params[i].first;
        if (std::find(allowed.begin(), allowed.end(), name) == allowed.end())
            return fail(fmt::format("Bad query: unknown parameter \"{}\"", shown(name)));
        for (std::size_t j = 0; j < i; ++j)
            if (params[j].first == name)
                return fail(fmt::format("Bad query: parameter \"{}\" given twice", shown(name)));
    }
    Query query;
    query.params_ = params;
    return query;
}

std::optional<std::string_view> Query::get(std::string_view name) const {
    for (const auto& [key, value] : params_)
        if (key == name) return std::string_view(value);
    return std::nullopt;
}

Result<std::size_t> Query::count(std::string_view name, std::size_t fallback, std::size_t low,
                                 std::size_t high) const {
    const auto text = get(name);
    if (!text) return fallback;
    std::size_t value = 0;
    if (!parse_whole(*text, value) || value < low || value > high)
        return fail(bad(name, *text, fmt::format("expected a whole number from {} to {}", low, high)));
    return value;
}

std::span<const std::string_view> view_param_names() {
    static constexpr std::array<std::string_view, 9> names{"sort", "using", "samples", "k", "seed",
                                                           "cmap", "zmin",  "zmax",    "missing"};
    return names;
}

Result<ViewDescription> parse_view(const Query& query) {
    ViewDescription view;
    if (auto ok = parse_order(query, view.order); !ok) return fail(std::move(ok).error());
    if (auto ok = parse_color_settings(query, view.color); !ok) return fail(std::move(ok).error());
    return view;
}

Status check_view(const ViewDescription& view, std::size_t rows, std::size_t samples) {
    for (const std::size_t s : view.order.sort_using_samples)
        if (s >= samples)
            return fail(fmt::format("Bad parameter samples: sample {} asked for, the matrix has {} sample{}", s + 1,
                                    samples, samples == 1 ? "" : "s"));
    if (view.order.kmeans > rows)
        return fail(fmt::format("Bad parameter k={}: more clusters than the matrix's {} rows", view.order.kmeans,
                                rows));
    for (const auto* limits : {&view.color.z_min, &view.color.z_max})
        if (limits->size() > 1 && limits->size() != samples)
            return fail(fmt::format("Bad colour limits: {} values for {} samples (give one, or one per sample)",
                                    limits->size(), samples));
    return {};
}

Result<RowWindow> parse_row_window(const Query& query, std::size_t rows) {
    RowWindow window;
    auto with_rows = [&](const Error& error) { return fail(fmt::format("{} (the view has {} rows)", error.message(), rows)); };
    auto begin = query.count("r0", 0, 0, rows == 0 ? 0 : rows - 1);
    if (!begin) return with_rows(begin.error());
    auto end = query.count("r1", rows, *begin + 1, rows);
    if (!end) return with_rows(end.error());
    auto pixels = query.count("h", 1, 1, kMaxTileSide);
    if (!pixels) return fail(std::move(pixels).error());
    window.begin = *begin;
    window.end = *end;
    window.pixels = *pixels;
    return window;
}

std::vector<std::string> heatmap_arguments(const ViewDescription& view, std::string_view matrix_path,
                                           std::string_view out_path) {
    std::vector<std::string> words{"heatmap", "-m", std::string(matrix_path), "-o", std::string(out_path)};
    const RowOrderSettings defaults;
    const auto& order = view.order;
    constexpr std::array<std::string_view, 3> sorts{"keep", "ascend", "descend"};
    constexpr std::array<std::string_view, 5> statistics{"mean", "median", "max", "min", "sum"};
    if (order.sort != defaults.sort) words.insert(words.end(), {"--sortRegions", std::string(sorts[static_cast<int>(order.sort)])});
    if (order.sort_using != defaults.sort_using)
        words.insert(words.end(), {"--sortUsing", std::string(statistics[static_cast<int>(order.sort_using)])});
    if (!order.sort_using_samples.empty()) {
        words.emplace_back("--sortUsingSamples");
        for (const std::size_t s : order.sort_using_samples) words.push_back(std::to_string(s + 1));
    }
    if (order.kmeans > 0) words.insert(words.end(), {"--kmeans", std::to_string(order.kmeans)});
    if (order.seed != defaults.seed) words.insert(words.end(), {"--seed", std::to_string(order.seed)});
    const ColorSettings colors;
    if (view.color.color_map != colors.color_map) words.insert(words.end(), {"--colorMap", view.color.color_map});
    for (const auto& [option, limits] : {std::pair{"--zMin", &view.color.z_min}, std::pair{"--zMax", &view.color.z_max}}) {
        if (limits->empty()) continue;
        words.emplace_back(option);
        for (const double v : *limits) words.push_back(fmt::format("{}", v));
    }
    if (view.color.missing_color != colors.missing_color)
        words.insert(words.end(), {"--missingDataColor", view.color.missing_color});
    return words;
}

std::string shell_line(std::span<const std::string> words) {
    std::string line;
    for (const std::string& word : words) {
        const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("-_./:=,+@%").find(c) != std::string_view::npos;
        });
        if (!line.empty()) line.push_back(' ');
        if (plain) {
            line += word;
            continue;
        }
        line.push_back('\'');
        for (const char c : word) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line.push_back('\'');
    }
    return line;
}

}  // namespace binscope
