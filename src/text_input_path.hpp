// text_input_path.hpp - the file name, stem and extension of a path as
// written on the command line (no file system access), which may also be a
// web address.
#pragma once

#include <optional>
#include <string_view>

namespace binscope {

// The last component of path, ignoring empty and "." components; nothing
// when there is none or it is "..".
std::optional<std::string_view> path_file_name(std::string_view path);

// True for an http:// or https:// address (the scheme in any case).
bool is_url(std::string_view path);

// The last segment of a web address's path, its query and fragment left
// out; nothing as for path_file_name.
std::optional<std::string_view> url_file_name(std::string_view url);

// The file name up to its last '.'; the whole name when it has no dot or
// its only dot is the first character (".bed").
std::string_view file_stem(std::string_view file_name);

// The text after the last '.' of the file name; nothing when file_stem
// takes the whole name.
std::optional<std::string_view> file_extension(std::string_view file_name);

// The file name without a trailing ".gz" (any case), which a compressed
// region file carries beside its own extension; the whole name when that
// is all it is.
std::string_view without_gz_suffix(std::string_view file_name);

}  // namespace binscope
