// sorted_regions.hpp - the regions in final row order as BED12 plus group.
#pragma once

#include <string>

#include "error.hpp"
#include "matrix/matrix.hpp"

namespace binscope {

Status write_sorted_regions(const std::string& path, const Matrix& matrix);

}  // namespace binscope
