// view_query.hpp - the query parameters of the `view` server's requests:
// the view they ask for (row order and colours, as `heatmap` takes them),
// the rows and pixels of a tile, each checked and bounded.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "error.hpp"
#include "figure/figure_options.hpp"

namespace binscope {

// A request's decoded query parameters, in the order sent.
using QueryParams = std::vector<std::pair<std::string, std::string>>;

// Bounds of what one request may ask for.
inline constexpr std::size_t kMaxQueryParams = 32;
inline constexpr std::size_t kMaxTileSide = 4096;     // pixels
inline constexpr std::size_t kMaxViewClusters = 100;  // k of k-means in a view

// What a view shows: the heat map's row order and colours.
struct ViewDescription {
    RowOrderSettings order;
    ColorSettings color;
    // Canonical texts: two descriptions with the same key show the same.
    std::string order_key() const;
    std::string color_key() const;
    std::string limits_key() const;  // the colour limits' part of color_key
};

// The parameters of one request, each name at most once and each one a
// name the request knows; their values are read by name.
class Query {
public:
    // Errors: too many parameters, a name twice, a name not in `allowed`.
    static Result<Query> make(const QueryParams& params, std::span<const std::string_view> allowed);

    std::optional<std::string_view> get(std::string_view name) const;
    // A whole number in [low, high]; `fallback` when the parameter is absent.
    Result<std::size_t> count(std::string_view name, std::size_t fallback, std::size_t low, std::size_t high) const;

private:
    QueryParams params_;
};

// The names of the view's parameters, which every data request takes.
std::span<const std::string_view> view_param_names();

// The view a query describes, absent parameters at the `heatmap` defaults:
// sort (keep, descend, ascend), using (mean, median, max, min, sum),
// samples (numbers from 1, comma-separated), k (0 for none), seed, cmap (a
// colour-map name, "_r" reversing it), zmin and zmax (comma-separated
// numbers, empty for percentiles), missing (rrggbb). Checks against the
// matrix (sample numbers, k against the rows) are `check_view`'s.
Result<ViewDescription> parse_view(const Query& query);

// The view fits a matrix of `rows` rows and `samples` samples.
Status check_view(const ViewDescription& view, std::size_t rows, std::size_t samples);

// A window onto the drawn rows: rows [begin, end) shown on `pixels` pixel
// rows, read from r0, r1 and h.
struct RowWindow {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::size_t pixels = 1;
};
Result<RowWindow> parse_row_window(const Query& query, std::size_t rows);

// The `binscope heatmap` command that draws `view` of `matrix_path` to
// `out_path`: its arguments after the program name, and as one line for a
// POSIX shell.
std::vector<std::string> heatmap_arguments(const ViewDescription& view, std::string_view matrix_path,
                                           std::string_view out_path);
std::string shell_line(std::span<const std::string> words);

}  // namespace binscope
