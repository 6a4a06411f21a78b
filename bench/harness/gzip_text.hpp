// gzip_text.hpp - the decompressed text of gzip files, whole or compared
// as a stream.
#pragma once

#include <cstdint>
#include <string>

namespace binscope::bench {

// Every member's decompressed text; throws std::runtime_error when the
// file cannot be read.
std::string gunzip_file(const std::string& path);

// True when two gzipped matrix files hold the same text: every row byte
// for byte, and the header line apart from the value of "proc number",
// which records the thread count of the run. Otherwise `where` tells the
// first differing offset. Holds only small buffers.
bool same_matrix_text(const std::string& a, const std::string& b, std::string& where);

// The number of gzip members of a file (a gzip stream restarts after each).
std::uint64_t gzip_member_count(const std::string& path);

}  // namespace binscope::bench
