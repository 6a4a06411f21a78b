// quoted_path.cpp - escapes a path for the "Error when opening: " line.
#include "bigwig/quoted_path.hpp"

#include <fmt/format.h>

#include "utf8.hpp"

namespace binscope::bigwig {

std::string quoted_path(std::string_view path) {
    std::string out = "\"";
    for (std::size_t i = 0; i < path.size();) {
        char32_t cp = 0;
        std::size_t n = utf8_sequence(path, i, cp);
        if (n == 0) {
            out += fmt::format("\\x{:02X}", static_cast<unsigned char>(path[i]));
            ++i;
            continue;
        }
        switch (cp) {
        case U'"': out += "\\\""; break;
        case U'\\': out += "\\\\"; break;
        case U'\n': out += "\\n"; break;
        case U'\r': out += "\\r"; break;
        case U'\t': out += "\\t"; break;
        case U'\0': out += "\\0"; break;
        default:
            if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F))
                out += fmt::format("\\u{{{:x}}}", static_cast<std::uint32_t>(cp));
            else
                out.append(path.substr(i, n));
        }
        i += n;
    }
    out += '"';
    return out;
}

}  // namespace binscope::bigwig
