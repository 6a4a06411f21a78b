// view_settings.hpp - what one `view` run is started with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace binscope {

struct ViewSettings {
    std::string matrix_file;
    std::uint16_t port = 0;             // 0: a free port chosen by the system
    std::string bind_address = "127.0.0.1";
    std::size_t threads = 1;            // at least 1
    std::optional<std::string> browser_link;  // a template with {chrom}, {start}, {end}
};

}  // namespace binscope
