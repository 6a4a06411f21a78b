// matrix_values.hpp - the plain-text matrix of values with sample headings.
#pragma once

#include <cstdint>
#include <string>

#include "error.hpp"
#include "matrix/matrix.hpp"

namespace binscope {

Status write_matrix_values(const std::string& path, const Matrix& matrix, std::int64_t bins_per_sample);

}  // namespace binscope
