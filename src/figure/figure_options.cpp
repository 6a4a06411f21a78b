// figure_options.cpp - the figure format a file name asks for.
#include "figure/figure_options.hpp"

#include "text_util.hpp"

namespace binscope {

std::optional<FigureFormat> figure_format_of_path(std::string_view path) {
    const auto dot = path.rfind('.');
    const auto slash = path.rfind('/');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return std::nullopt;
    const std::string extension = ascii_lower(path.substr(dot + 1));
    if (extension == "png") return FigureFormat::png;
    if (extension == "svg") return FigureFormat::svg;
    if (extension == "pdf") return FigureFormat::pdf;
    return std::nullopt;
}

}  // namespace binscope
