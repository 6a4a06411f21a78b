// view_args.hpp - the command-line record of `view`.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace binscope {

struct ViewArgs {
    std::string matrix_file;
    std::size_t port = 0;  // 0: a free port
    std::string bind = "127.0.0.1";
    std::optional<std::string> browser_link;
    std::size_t number_of_processors = 1;
};

}  // namespace binscope
