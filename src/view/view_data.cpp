// view_data.cpp - the page's data as JSON (nlohmann::json; bytes that are
// not UTF-8 in names are replaced, never sent raw).
#include "view/view_data.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "figure/profile_stats.hpp"
#include "output/text_fields.hpp"

namespace binscope {
namespace {

using nlohmann::json;

std::string hex(Rgb c) { return fmt::format("#{:02x}{:02x}{:02x}", c.r, c.g, c.b); }

std::string dump(const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); }

json number_or_null(double v) { return std::isfinite(v) ? json(v) : json(nullptr); }

// The group of drawn row `row`.
std::size_t group_of(const FigureInput& input, std::size_t row) {
    const auto& b = input.group_boundaries;
    return static_cast<std::size_t>(std::upper_bound(b.begin(), b.end(), row) - b.begin()) - 1;
}

json region_json(const Region& region) {
    const std::int64_t start = region.blocks.empty() ? 0 : region.start();
    const std::int64_t end = region.blocks.empty() ? 0 : region.end();
    return json{{"name", std::string(region.name.view())},
                {"chrom", std::string(region.chrom.view())},
                {"start", start},
                {"end", end},
                {"strand", std::string(1, strand_char(region.strand))}};
}

json row_json(const ViewModel& model, const View& view, std::size_t drawn_row) {
    const FigureInput& input = *view.input;
    json row = region_json(model.file().matrix.region(input.row_order[drawn_row]));
    row["row"] = drawn_row;
    row["group"] = input.group_labels[group_of(input, drawn_row)];
    return row;
}

bool contains_ignoring_case(std::string_view text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           }) != text.end();
}

// The pixel rows [top, bottom) each group of the window is drawn on, as
// the tiles cut them, with the colour of the lines between groups.
json group_spans(const View& view, const RowWindow& window) {
    const FigureInput& input = *view.input;
    const auto cuts = window_cuts(input, window);
    const double per_cut = static_cast<double>(window.pixels) / static_cast<double>(cuts.size() - 1);
    auto pixel_of = [&](std::size_t row) {
        return per_cut * static_cast<double>(std::lower_bound(cuts.begin(), cuts.end(), row) - cuts.begin());
    };
    json spans = json::array();
    for (std::size_t g = 0; g + 1 < input.group_boundaries.size(); ++g) {
        const std::size_t begin = std::max(window.begin, input.group_boundaries[g]);
        const std::size_t end = std::min(window.end, input.group_boundaries[g + 1]);
        if (begin >= end) continue;
        spans.push_back({{"label", input.group_labels[g]},
                         {"top", pixel_of(begin)},
                         {"bottom", pixel_of(end)},
                         {"separator", hex(contrasting(view.map.colors[0]))}});
    }
    return spans;
}

}  // namespace

std::string view_info_json(const ViewModel& model, const View& view, const std::optional<std::string>& browser_link) {
    const FigureInput& input = *view.input;
    json groups = json::array();
    for (std::size_t g = 0; g + 1 < input.group_boundaries.size(); ++g)
        groups.push_back({{"label", input.group_labels[g]},
                          {"begin", input.group_boundaries[g]},
                          {"end", input.group_boundaries[g + 1]},
                          {"color", hex(line_color(g))}});
    json samples = json::array();
    for (std::size_t s = 0; s < input.sample_labels.size(); ++s) {
        json ticks = json::array();
        for (const auto& tick : input.ticks[s]) ticks.push_back({{"position", tick.position}, {"label", tick.label}});
        samples.push_back({{"label", input.sample_labels[s]},
                           {"bins", input.sample_boundaries[s + 1] - input.sample_boundaries[s]},
                           {"ticks", ticks},
                           {"low", (*view.limits)[s].low},
                           {"high", (*view.limits)[s].high}});
    }
    json colors = json::array();
    for (const Rgb c : view.map.colors) colors.push_back(hex(c));
    const auto words = heatmap_arguments(view.description, model.matrix_path(), "figure.png");
    return dump(json{{"rows", input.rows()},
                     {"groups", groups},
                     {"samples", samples},
                     {"colors", colors},
                     {"missing", hex(view.missing)},
                     {"cmaps", color_map_names()},
                     {"browserLink", browser_link ? json(*browser_link) : json(nullptr)},
                     {"command", "binscope " + shell_line(words)}});
}

Result<std::string> profile_json(const View& view, const RowWindow& window, std::size_t threads) {
    const FigureInput& input = *view.input;
    json samples = json::array();
    for (std::size_t s = 0; s < input.sample_labels.size(); ++s) {
        json lines = json::array();
        for (std::size_t g = 0; g + 1 < input.group_boundaries.size(); ++g) {
            const std::size_t begin = std::max(window.begin, input.group_boundaries[g]);
            const std::size_t end = std::min(window.end, input.group_boundaries[g + 1]);
            if (begin >= end) continue;
            auto line = profile_line(input, begin, end, input.sample_boundaries[s], input.sample_boundaries[s + 1],
                                     ProfileSettings{}, threads);
            if (!line) return fail(std::move(line).error());
            json center = json::array();
            for (const double v : line->center) center.push_back(number_or_null(v));
            lines.push_back({{"group", input.group_labels[g]}, {"color", hex(line_color(g))}, {"center", center}});
        }
        samples.push_back({{"lines", lines}});
    }
    return dump(json{{"samples", samples}, {"groups", group_spans(view, window)}});
}

std::string cell_json(const ViewModel& model, const View& view, const TileCell& cell) {
    return dump(json{{"rowBegin", cell.row_begin},
                     {"rowEnd", cell.row_end},
                     {"colBegin", cell.col_begin},
                     {"colEnd", cell.col_end},
                     {"value", number_or_null(cell.value)},
                     {"first", row_json(model, view, cell.row_begin)}});
}

std::string find_json(const ViewModel& model, const View& view, std::string_view name) {
    const FigureInput& input = *view.input;
    const Matrix& matrix = model.file().matrix;
    json exact = json::array(), partial = json::array();
    for (std::size_t r = 0; r < input.rows() && exact.size() < kMaxFound; ++r) {
        const std::string_view region_name = matrix.region(input.row_order[r]).name.view();
        if (region_name == name)
            exact.push_back(row_json(model, view, r));
        else if (partial.size() < kMaxFound && !name.empty() && contains_ignoring_case(region_name, name))
            partial.push_back(row_json(model, view, r));
    }
    for (auto& row : partial)
        if (exact.size() < kMaxFound) exact.push_back(std::move(row));
    return dump(json{{"found", exact}});
}

}  // namespace binscope
