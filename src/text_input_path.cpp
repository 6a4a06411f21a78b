// text_input_path.cpp - file name, stem and extension of a written path.
#include "text_input_path.hpp"

#include "text_util.hpp"

namespace binscope {

std::optional<std::string_view> path_file_name(std::string_view path) {
    std::optional<std::string_view> last;
    std::size_t pos = 0;
    while (pos <= path.size()) {
        std::size_t slash = path.find('/', pos);
        if (slash == std::string_view::npos) slash = path.size();
        const std::string_view component = path.substr(pos, slash - pos);
        if (!component.empty() && component != ".") last = component;
        pos = slash + 1;
    }
    if (!last || *last == "..") return std::nullopt;
    return last;
}

bool is_url(std::string_view path) {
    const std::size_t colon = path.find("://");
    if (colon == std::string_view::npos) return false;
    const std::string_view scheme = path.substr(0, colon);
    return equals_ignore_case(scheme, "http") || equals_ignore_case(scheme, "https");
}

std::optional<std::string_view> url_file_name(std::string_view url) {
    url.remove_prefix(url.find("://") + 3);
    url = url.substr(0, url.find_first_of("?#"));
    const std::size_t slash = url.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    return path_file_name(url.substr(slash));
}

std::string_view file_stem(std::string_view file_name) {
    const std::size_t dot = file_name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return file_name;
    return file_name.substr(0, dot);
}

std::optional<std::string_view> file_extension(std::string_view file_name) {
    const std::size_t dot = file_name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return std::nullopt;
    return file_name.substr(dot + 1);
}

std::string_view without_gz_suffix(std::string_view file_name) {
    if (file_name.size() <= 3 || !equals_ignore_case(file_name.substr(file_name.size() - 3), ".gz")) return file_name;
    return file_name.substr(0, file_name.size() - 3);
}

}  // namespace binscope
