// matrix_reads_back.hpp - the check that a written matrix file reads back
// as written, for the tests that write one.
#pragma once

#include <string>

namespace binscope::testing {

// Reads the matrix file at path with the matrix-file reader and expects
// every row line, written again from what was read (region columns as
// they are, values in the writer's number format), to equal the file's
// line, and the header's JSON to be the file's first line.
void expect_matrix_reads_back(const std::string& path);

}  // namespace binscope::testing
