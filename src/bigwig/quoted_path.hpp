// quoted_path.hpp - the quoted form of a path used in the
// "Error when opening: " line.
#pragma once

#include <string>
#include <string_view>

namespace binscope::bigwig {

// The path between double quotes, with \" \\ \n \r \t \0 escaped, other
// control characters as \u{hex} and bytes outside valid UTF-8 as \xNN.
std::string quoted_path(std::string_view path);

}  // namespace binscope::bigwig
