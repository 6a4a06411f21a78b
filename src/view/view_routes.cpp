// view_routes.cpp - each endpoint reads its query, gets the view from the
// model and answers with its data; a bad request gets 400 and its reason.
#include "view/view_routes.hpp"

#include <array>
#include <fmt/format.h>
#include <vector>

#include "view/page_assets.hpp"
#include "view/tile.hpp"
#include "view/view_data.hpp"
#include "view/view_export.hpp"

namespace binscope {
namespace {

using httplib::Request;
using httplib::Response;

constexpr std::string_view kText = "text/plain; charset=utf-8";
constexpr std::string_view kJson = "application/json";

void answer_error(Response& res, int status, const Error& error) {
    std::string text = error.message();
    for (const auto& cause : error.causes()) text += ": " + cause;
    res.status = status;
    res.set_content(text + "\n", std::string(kText));
}

// The query's parameters but the token, which the checks before routing
// have read already.
QueryParams params_of(const Request& req) {
    QueryParams params;
    for (const auto& [name, value] : req.params)
        if (name != "token") params.emplace_back(name, value);
    return params;
}

// The view a request asks for, with the endpoint's own parameters read by
// `read` from the same query.
struct Asked {
    Query query;
    View view;
};

Result<Asked> ask(const Request& req, ViewModel& model, std::initializer_list<std::string_view> own) {
    std::vector<std::string_view> allowed(view_param_names().begin(), view_param_names().end());
    allowed.insert(allowed.end(), own.begin(), own.end());
    auto query = Query::make(params_of(req), allowed);
    if (!query) return fail(std::move(query).error());
    auto description = parse_view(*query);
    if (!description) return fail(std::move(description).error());
    auto view = model.view(*description);
    if (!view) return fail(std::move(view).error());
    return Asked{std::move(*query), std::move(*view)};
}

Result<TileRequest> tile_request(const Query& query, const ViewModel& model) {
    TileRequest request;
    auto sample = query.count("s", 0, 0, model.samples() - 1);
    if (!sample) return fail(std::move(sample).error());
    request.sample = *sample;
    auto window = parse_row_window(query, model.rows());
    if (!window) return fail(std::move(window).error());
    request.rows = *window;
    auto width = query.count("w", 1, 1, kMaxTileSide);
    if (!width) return fail(std::move(width).error());
    request.width = *width;
    const auto statistic = query.get("agg").value_or("mean");
    if (statistic != "mean" && statistic != "max")
        return fail(fmt::format("Bad parameter agg=\"{}\": expected mean or max", statistic.substr(0, 10)));
    request.statistic = statistic == "max" ? TileStatistic::max : TileStatistic::mean;
    return request;
}

std::string tile_key(const View& view, const TileRequest& t) {
    return fmt::format("{}|{}|{}|{}-{}/{}x{}|{}", view.description.order_key(), view.description.color_key(), t.sample,
                       t.rows.begin, t.rows.end, t.rows.pixels, t.width, static_cast<int>(t.statistic));
}

// Runs `body` for the request, which answers through `res`; an error it
// returns becomes a 400 answer.
void serve(const Request& req, Response& res, const std::function<Status(const Request&, Response&)>& body) {
    res.set_header("Cache-Control", "no-store");
    if (auto done = body(req, res); !done) answer_error(res, 400, done.error());
}

Status serve_tile(const Request& req, Response& res, ViewModel& model) {
    auto asked = ask(req, model, {"s", "r0", "r1", "h", "w", "agg"});
    if (!asked) return fail(std::move(asked).error());
    auto request = tile_request(asked->query, model);
    if (!request) return fail(std::move(request).error());
    auto png = model.tile(tile_key(asked->view, *request),
                          [&] { return render_tile(asked->view, *request, model.threads()); });
    if (!png) return fail(std::move(png).error());
    res.set_content(**png, "image/png");
    return {};
}

Status serve_hover(const Request& req, Response& res, ViewModel& model) {
    auto asked = ask(req, model, {"s", "r0", "r1", "h", "w", "agg", "x", "y"});
    if (!asked) return fail(std::move(asked).error());
    auto request = tile_request(asked->query, model);
    if (!request) return fail(std::move(request).error());
    auto x = asked->query.count("x", 0, 0, request->width - 1);
    if (!x) return fail(std::move(x).error());
    auto y = asked->query.count("y", 0, 0, request->rows.pixels - 1);
    if (!y) return fail(std::move(y).error());
    auto cell = tile_cell(*asked->view.input, *request, *x, *y);
    if (!cell) return fail(std::move(cell).error());
    res.set_content(cell_json(model, asked->view, *cell), std::string(kJson));
    return {};
}

Status serve_profile(const Request& req, Response& res, ViewModel& model) {
    auto asked = ask(req, model, {"r0", "r1", "h"});
    if (!asked) return fail(std::move(asked).error());
    auto window = parse_row_window(asked->query, model.rows());
    if (!window) return fail(std::move(window).error());
    // The separators' colour comes from the colour map: the key holds both.
    const std::string key = fmt::format("{}|{}|{}-{}/{}", asked->view.description.order_key(),
                                        asked->view.description.color_key(), window->begin, window->end, window->pixels);
    auto json = model.profile(key, [&] { return profile_json(asked->view, *window, model.threads()); });
    if (!json) return fail(std::move(json).error());
    res.set_content(**json, std::string(kJson));
    return {};
}

Status serve_export(const Request& req, Response& res, ViewModel& model) {
    auto asked = ask(req, model, {"format"});
    if (!asked) return fail(std::move(asked).error());
    const auto format = asked->query.get("format").value_or("png");
    const auto kind = figure_format_of_path(fmt::format("figure.{}", format));
    if (!kind || (format != "png" && format != "svg" && format != "pdf"))
        return fail(fmt::format("Bad parameter format=\"{}\": expected png, svg or pdf", format.substr(0, 10)));
    auto bytes = export_figure(model, asked->view, *kind);
    if (!bytes) return fail(std::move(bytes).error());
    constexpr std::array<std::string_view, 3> types{"image/png", "image/svg+xml", "application/pdf"};
    res.set_header("Content-Disposition", fmt::format("attachment; filename=\"binscope_view.{}\"", format));
    res.set_content(*bytes, std::string(types[static_cast<int>(*kind)]));
    return {};
}

Status serve_regions(const Request& req, Response& res, ViewModel& model) {
    auto asked = ask(req, model, {"r0", "r1", "group"});
    if (!asked) return fail(std::move(asked).error());
    const FigureInput& input = *asked->view.input;
    std::size_t begin = 0, end = input.rows();
    if (asked->query.get("group")) {
        auto group = asked->query.count("group", 0, 0, input.group_labels.size() - 1);
        if (!group) return fail(std::move(group).error());
        begin = input.group_boundaries[*group];
        end = input.group_boundaries[*group + 1];
    } else {
        auto window = parse_row_window(asked->query, model.rows());
        if (!window) return fail(std::move(window).error());
        begin = window->begin;
        end = window->end;
    }
    auto bytes = export_regions(model, asked->view, begin, end);
    if (!bytes) return fail(std::move(bytes).error());
    res.set_header("Content-Disposition", "attachment; filename=\"binscope_view_regions.bed\"");
    res.set_content(*bytes, "text/plain; charset=utf-8");
    return {};
}

}  // namespace

void add_view_routes(httplib::Server& server, ViewModel& model, const ViewSettings& settings) {
    for (const PageAsset& asset : page_assets())
        server.Get(std::string(asset.path), [&asset](const Request&, Response& res) {
            res.set_header("Cache-Control", "no-store");
            res.set_content(std::string(asset.body), std::string(asset.content_type));
        });
    // Browsers ask for an icon on their own; the page has none.
    server.Get("/favicon.ico", [](const Request&, Response& res) { res.status = 204; });
    auto route = [&](const char* path, Status (*body)(const Request&, Response&, ViewModel&)) {
        server.Get(path, [&model, body](const Request& req, Response& res) {
            serve(req, res, [&](const Request& r, Response& s) { return body(r, s, model); });
        });
    };
    server.Get("/api/view", [&model, &settings](const Request& req, Response& res) {
        serve(req, res, [&](const Request& r, Response& s) -> Status {
            auto asked = ask(r, model, {});
            if (!asked) return fail(std::move(asked).error());
            s.set_content(view_info_json(model, asked->view, settings.browser_link), std::string(kJson));
            return {};
        });
    });
    route("/api/tile", serve_tile);
    route("/api/hover", serve_hover);
    route("/api/profile", serve_profile);
    route("/api/export", serve_export);
    route("/api/regions", serve_regions);
    server.Get("/api/find", [&model](const Request& req, Response& res) {
        serve(req, res, [&](const Request& r, Response& s) -> Status {
            auto asked = ask(r, model, {"name"});
            if (!asked) return fail(std::move(asked).error());
            const auto name = asked->query.get("name").value_or("");
            s.set_content(find_json(model, asked->view, name), std::string(kJson));
            return {};
        });
    });
}

}  // namespace binscope
