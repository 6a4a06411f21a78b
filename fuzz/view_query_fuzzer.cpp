// view_query_fuzzer.cpp - the `view` server's own request parsing: the
// input is a query string (parameters split at '&', names from values at
// the first '='), read as a view, a row window and a tile's numbers, turned
// into the `heatmap` command; and, as header values, the Host, Origin and
// Cookie checks.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "view/request_checks.hpp"
#include "view/token.hpp"
#include "view/view_query.hpp"

namespace {

binscope::QueryParams split_query(std::string_view text) {
    binscope::QueryParams params;
    while (!text.empty()) {
        const std::size_t amp = std::min(text.find('&'), text.size());
        const std::string_view part = text.substr(0, amp);
        const std::size_t eq = std::min(part.find('='), part.size());
        params.emplace_back(std::string(part.substr(0, eq)), std::string(part.substr(std::min(eq + 1, part.size()))));
        text.remove_prefix(std::min(amp + 1, text.size()));
    }
    return params;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)binscope::host_allowed(text, "127.0.0.1");
    (void)binscope::host_allowed(text, "0.0.0.0");
    (void)binscope::origin_allowed(text, "127.0.0.1:8080");
    (void)binscope::cookie_value(text, binscope::kTokenCookie);
    if (binscope::token_matches(text, "abc") != (text == "abc")) std::abort();

    std::vector<std::string_view> allowed(binscope::view_param_names().begin(), binscope::view_param_names().end());
    allowed.insert(allowed.end(), {"r0", "r1", "h", "w", "s"});
    auto query = binscope::Query::make(split_query(text), allowed);
    if (!query) return 0;
    constexpr std::size_t rows = 1000, samples = 3;
    if (auto window = binscope::parse_row_window(*query, rows)) {
        if (window->begin >= window->end || window->end > rows || window->pixels < 1 ||
            window->pixels > binscope::kMaxTileSide)
            std::abort();
    }
    if (auto width = query->count("w", 1, 1, binscope::kMaxTileSide); width && (*width < 1 || *width > 4096))
        std::abort();
    auto view = binscope::parse_view(*query);
    if (!view) return 0;
    if (view->order.kmeans > binscope::kMaxViewClusters) std::abort();
    if (binscope::check_view(*view, rows, samples)) {
        for (const std::size_t s : view->order.sort_using_samples)
            if (s >= samples) std::abort();
    }
    (void)view->order_key();
    (void)view->color_key();
    const auto words = binscope::heatmap_arguments(*view, "m.gz", "f.png");
    if (words.size() < 5) std::abort();
    (void)binscope::shell_line(words);
    return 0;
}
