// matrix_object.cpp - binscope.Matrix: the values as a numpy array over
// the C++ buffer, the regions as columns, and the files the command line
// writes.
#include "matrix_object.hpp"

#include <fmt/format.h>

#include <cstdlib>
#include <vector>

#include "keyword_options.hpp"
#include "labels.hpp"
#include "output/matrix_text.hpp"
#include "progress.hpp"
#include "run_error.hpp"
#include "run_stages.hpp"

namespace binscope::python {

namespace py = pybind11;

namespace {

// The values as a rows x cols float32 array over the matrix's own buffer,
// owned through a capsule: no copy, and valid after the Matrix is gone.
py::array values_array(const std::shared_ptr<MatrixData>& data) {
    Matrix& m = data->matrix;
    const auto rows = static_cast<py::ssize_t>(m.rows());
    const auto cols = static_cast<py::ssize_t>(m.cols);
    if (m.values.empty()) return py::array_t<float>({rows, cols});
    py::capsule owner(new std::shared_ptr<MatrixData>(data),
                      [](void* p) { delete static_cast<std::shared_ptr<MatrixData>*>(p); });
    return py::array_t<float>({rows, cols}, {cols * py::ssize_t{sizeof(float)}, py::ssize_t{sizeof(float)}},
                              m.values.data(), owner);
}

py::object object_array(const py::list& items) {
    return py::module_::import("numpy").attr("array")(items, py::arg("dtype") = "object");
}

// A 1-D array with one entry per row, filled by `value(row)`.
template <class T, class Value>
py::array_t<T> row_array(const Matrix& m, Value value) {
    py::array_t<T> out(static_cast<py::ssize_t>(m.rows()));
    auto cells = out.template mutable_unchecked<1>();
    for (std::size_t r = 0; r < m.rows(); ++r) cells(static_cast<py::ssize_t>(r)) = value(r);
    return out;
}

// A column of Python objects, one per row.
template <class Value>
py::object object_column(const Matrix& m, Value value) {
    py::list items(m.rows());
    for (std::size_t r = 0; r < m.rows(); ++r) items[r] = value(m.region(r));
    return object_array(items);
}

py::object blocks_column(const Matrix& m) {
    py::list rows(m.rows());
    for (std::size_t r = 0; r < m.rows(); ++r) {
        py::list blocks;
        for (const Block& b : m.region(r).blocks) blocks.append(py::make_tuple(b.start, b.end));
        rows[r] = blocks;
    }
    return rows;
}

std::optional<std::string> optional_path(py::handle value, const char* name) {
    if (value.is_none()) return std::nullopt;
    return path_argument(value, fmt::format("write() argument '{}'", name));
}

}  // namespace

MatrixObject::MatrixObject(std::shared_ptr<MatrixData> data) : data_(std::move(data)), values_(values_array(data_)) {}

py::object MatrixObject::column(const std::string& name) {
    if (!columns_.contains(name)) columns_[py::str(name)] = make_column(name);
    return columns_[py::str(name)];
}

py::object MatrixObject::make_column(const std::string& name) const {
    const Matrix& m = data_->matrix;
    if (name == "start") return row_array<std::int64_t>(m, [&](std::size_t r) { return m.region(r).start(); });
    if (name == "end") return row_array<std::int64_t>(m, [&](std::size_t r) { return m.region(r).end(); });
    if (name == "score") {
        // A file's own fifth column as written; a computed row's mean, as
        // the matrix file will show it.
        if (data_->from_file)
            return row_array<float>(m, [&](std::size_t r) {
                return std::strtof(std::string(m.region(r).score.view()).c_str(), nullptr);
            });
        return row_array<float>(m, [&](std::size_t r) { return row_score(m.row(r), m.cols); });
    }
    if (name == "chrom") return object_column(m, [](const Region& g) { return py::str(std::string(g.chrom.view())); });
    if (name == "name") return object_column(m, [](const Region& g) { return py::str(std::string(g.name.view())); });
    if (name == "strand")
        return object_column(m, [](const Region& g) {
            return py::reinterpret_steal<py::str>(PyUnicode_FromOrdinal(static_cast<int>(g.strand)));
        });
    if (name == "group")
        return object_column(m, [&](const Region& g) { return py::str(m.region_set.groups[g.group]); });
    return blocks_column(m);
}

py::list MatrixObject::sample_labels() const { return py::cast(data_->matrix.sample_labels); }

py::list MatrixObject::sample_boundaries() const {
    const Matrix& m = data_->matrix;
    const std::size_t samples = m.sample_labels.size();
    std::vector<std::size_t> bounds{0};
    for (std::size_t k = 1; k <= samples; ++k) bounds.push_back(m.cols / samples * k);
    return py::cast(bounds);
}

py::list MatrixObject::group_labels() const {
    const Matrix& m = data_->matrix;
    return py::cast(binscope::group_labels(m.row_groups(), m.region_set.groups));
}

py::list MatrixObject::group_boundaries() const { return py::cast(data_->matrix.group_boundaries); }

py::dict MatrixObject::header() const { return py::module_::import("json").attr("loads")(data_->header_json); }

py::array MatrixObject::sample(py::handle key) const {
    const auto& labels = data_->matrix.sample_labels;
    const auto count = static_cast<py::ssize_t>(labels.size());
    py::ssize_t index = -1;
    if (PyUnicode_Check(key.ptr())) {
        const auto label = py::cast<std::string>(key);
        for (py::ssize_t k = 0; k < count && index < 0; ++k)
            if (labels[static_cast<std::size_t>(k)] == label) index = k;
        if (index < 0) throw py::key_error(fmt::format("no sample labelled '{}'", label));
    } else if (PyIndex_Check(key.ptr()) && !PyBool_Check(key.ptr())) {
        index = py::cast<py::ssize_t>(key);
        if (index < 0) index += count;
        if (index < 0 || index >= count)
            throw py::index_error(fmt::format("sample index {} out of range for {} samples", py::cast<py::ssize_t>(key), count));
    } else {
        throw py::type_error(fmt::format("sample() argument must be str or int, not {}", Py_TYPE(key.ptr())->tp_name));
    }
    const auto width = static_cast<py::ssize_t>(data_->matrix.cols) / count;
    const py::tuple where = py::make_tuple(py::slice(0, values_.shape(0), 1), py::slice(index * width, (index + 1) * width, 1));
    return values_.attr("__getitem__")(where);
}

void MatrixObject::write(py::handle path, py::handle matrix_text, py::handle sorted_regions) const {
    if (path.is_none()) throw py::type_error("write() argument 'path' must be str or os.PathLike, not None");
    if (data_->write_refused) throw RunFailure(*data_->write_refused);
    Params params = data_->params;
    params.outFileName = *optional_path(path, "path");
    params.outFileNameMatrix = optional_path(matrix_text, "matrix_text");
    params.outFileSortedRegions = optional_path(sorted_regions, "sorted_regions");
    Status written;
    {
        py::gil_scoped_release release;
        written = write_outputs(data_->matrix, params);
    }
    value_or_raise(std::move(written));
    progress(params.quiet, fmt::format("Wrote {} ({} rows)", params.outFileName, data_->matrix.rows()));
}

Status MatrixObject::write_file(const std::string& path) const {
    if (data_->write_refused) return fail(*data_->write_refused);
    Params params = data_->params;
    params.outFileName = path;
    params.outFileNameMatrix.reset();
    params.outFileSortedRegions.reset();
    params.quiet = true;
    return write_outputs(data_->matrix, params);
}

std::string MatrixObject::repr() const {
    const Matrix& m = data_->matrix;
    return fmt::format("<binscope.Matrix: {} rows x {} columns, {} samples, {} groups>", m.rows(), m.cols,
                       m.sample_labels.size(), m.group_boundaries.size() - 1);
}

py::class_<MatrixObject> bind_matrix(py::module_& module) {
    return py::class_<MatrixObject>(module, "Matrix", R"(A score matrix: one row per region, one block of columns per sample.

values             2-D numpy.float32 array, rows x columns, NaN for missing; it uses the
                   matrix's own memory (no copy) and stays valid after the Matrix is gone
chrom, start, end, name, score, strand, group
                   one entry per row: the region's chromosome, first block start, last
                   block end, name, score (the matrix file's fifth column), strand and
                   group label
blocks             one list of (start, end) per row
sample_labels, sample_boundaries, group_labels, group_boundaries, header (a dict)
sample(label_or_index)   that sample's columns, a view of values
write(path, matrix_text=None, sorted_regions=None)   the command line's files
subset(...), filter(...), sort(...), relabel(...)   the matrix operations, each a new Matrix)")
        .def_property_readonly("values", &MatrixObject::values, "rows x columns float32 array, NaN for missing")
        .def_property_readonly("chrom", [](MatrixObject& m) { return m.column("chrom"); }, "chromosome per row")
        .def_property_readonly("start", [](MatrixObject& m) { return m.column("start"); }, "first block start per row")
        .def_property_readonly("end", [](MatrixObject& m) { return m.column("end"); }, "last block end per row")
        .def_property_readonly("name", [](MatrixObject& m) { return m.column("name"); }, "region name per row")
        .def_property_readonly("score", [](MatrixObject& m) { return m.column("score"); },
                               "the matrix file's score column: the mean of the row's numbers, NaN when none")
        .def_property_readonly("strand", [](MatrixObject& m) { return m.column("strand"); }, "'+', '-' or '.' per row")
        .def_property_readonly("group", [](MatrixObject& m) { return m.column("group"); }, "group label per row")
        .def_property_readonly("blocks", [](MatrixObject& m) { return m.column("blocks"); },
                               "list of (start, end) blocks per row (exons of transcripts and BED12 lines)")
        .def_property_readonly("sample_labels", &MatrixObject::sample_labels, "one label per sample")
        .def_property_readonly("sample_boundaries", &MatrixObject::sample_boundaries,
                               "first column of each sample, then the column count")
        .def_property_readonly("group_labels", &MatrixObject::group_labels, "one label per group that has rows")
        .def_property_readonly("group_boundaries", &MatrixObject::group_boundaries,
                               "first row of each group, then the row count")
        .def_property_readonly("header", &MatrixObject::header, "the matrix file's header line as a dict")
        .def("sample", &MatrixObject::sample, py::arg("label_or_index"),
             "The columns of one sample (by label or index) as a view of values, not a copy.")
        .def("write", &MatrixObject::write, py::arg("path"), py::arg("matrix_text") = py::none(),
             py::arg("sorted_regions") = py::none(),
             "Writes the gzipped matrix file to path and, when given, the plain-text matrix and the sorted "
             "regions, byte for byte as the command line does.")
        .def("__repr__", &MatrixObject::repr);
}

}  // namespace binscope::python
