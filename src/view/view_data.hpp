// view_data.hpp - the JSON the page reads: a view's layout, its profiles,
// the region under the cursor and regions found by name.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "error.hpp"
#include "view/tile.hpp"
#include "view/view_model.hpp"

namespace binscope {

// Rows, groups (label, drawn rows, line colour), samples (label, bins,
// ticks, colour limits), the colour map's 256 colours, the missing colour,
// the browser-link template and the `heatmap` command of the view.
std::string view_info_json(const ViewModel& model, const View& view, const std::optional<std::string>& browser_link);

// Per sample, a line per group over the window's rows of that group:
// {"samples": [{"lines": [{"group", "color", "center": [...]}]}]}, a bin
// without values as null.
Result<std::string> profile_json(const View& view, const RowWindow& window, std::size_t threads);

// The cell under the cursor: its drawn rows, value, group and the region
// of its first row.
std::string cell_json(const ViewModel& model, const View& view, const TileCell& cell);

// Up to kMaxFound regions whose name is `name` (first) or contains it,
// ignoring case, in drawn order, each with its drawn row.
inline constexpr std::size_t kMaxFound = 20;
std::string find_json(const ViewModel& model, const View& view, std::string_view name);

}  // namespace binscope
