// matrix.hpp - the gzipped matrix file: JSON header line and region rows.
#pragma once

#include <string>
#include <vector>

#include "error.hpp"
#include "matrix/matrix.hpp"
#include "params.hpp"

namespace binscope {

Status write_matrix_file(const std::string& path, const Matrix& matrix, const std::vector<std::string>& sample_labels,
                         const Params& params);

}  // namespace binscope
