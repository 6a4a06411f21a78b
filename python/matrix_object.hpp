// matrix_object.hpp - binscope.Matrix: the values as a numpy array over
// the C++ buffer, the regions as columns, and the files the command line
// writes.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <optional>
#include <string>

#include "error.hpp"
#include "matrix/matrix.hpp"
#include "params.hpp"

namespace binscope::python {

// What a Matrix object and the arrays over its values share; freed when
// the last of them goes.
struct MatrixData {
    Matrix matrix;
    Params params;            // what write() writes with
    std::string header_json;  // the header line's JSON, without '@' and newline
    bool from_file = false;   // read from a file: region scores are its fifth column
    std::optional<Error> write_refused;  // why write() cannot rebuild the header, if it cannot
};

// The Python object. Columns are made on first use and kept.
class MatrixObject {
public:
    explicit MatrixObject(std::shared_ptr<MatrixData> data);

    const pybind11::array& values() const { return values_; }
    pybind11::object column(const std::string& name);
    pybind11::list sample_labels() const;
    pybind11::list sample_boundaries() const;
    pybind11::list group_labels() const;
    pybind11::list group_boundaries() const;
    pybind11::dict header() const;
    pybind11::array sample(pybind11::handle label_or_index) const;
    void write(pybind11::handle path, pybind11::handle matrix_text, pybind11::handle sorted_regions) const;
    // The matrix file write() writes, quietly and without the GIL's help.
    Status write_file(const std::string& path) const;
    std::string repr() const;

private:
    pybind11::object make_column(const std::string& name) const;

    std::shared_ptr<MatrixData> data_;
    pybind11::array values_;
    pybind11::dict columns_;
};

// Registers binscope.Matrix.
pybind11::class_<MatrixObject> bind_matrix(pybind11::module_& module);

}  // namespace binscope::python
