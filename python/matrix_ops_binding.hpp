// matrix_ops_binding.hpp - the matrix operations in Python: binscope.rbind,
// binscope.cbind and Matrix.subset/filter/sort/relabel, each the command
// line's operation on the matrices' files.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <string>

#include "matrix_object.hpp"

namespace binscope::python {

// A Matrix read from a matrix file, values exactly as written.
MatrixObject read_matrix_object(const std::string& path, std::size_t threads);

// Adds binscope.rbind and binscope.cbind to the module and the operations
// to the Matrix class.
void bind_matrix_ops(pybind11::module_& module, pybind11::class_<MatrixObject>& matrix);

}  // namespace binscope::python
