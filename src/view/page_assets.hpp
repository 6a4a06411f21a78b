// page_assets.hpp - the page's files (HTML, JavaScript modules, CSS),
// compiled into the program from src/view/page/.
#pragma once

#include <span>
#include <string_view>

namespace binscope {

struct PageAsset {
    std::string_view path;          // as requested: "/", "/view.js", ...
    std::string_view content_type;
    std::string_view body;
};

std::span<const PageAsset> page_assets();

}  // namespace binscope
