// matrix_ops_binding.cpp - the matrix operations in Python. Each runs the
// command line's operation: the matrices are written to files in a
// scratch folder, the operation writes its file there, and that file is
// read back as the new Matrix.
#include "matrix_ops_binding.hpp"

#include <pybind11/stl.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fmt/format.h>
#include <functional>
#include <optional>
#include <vector>

#include "matrix_file/matrix_file.hpp"
#include "matrix_ops/header_params.hpp"
#include "matrix_ops/matrix_ops.hpp"
#include "run_error.hpp"

namespace binscope::python {

namespace py = pybind11;
namespace fs = std::filesystem;

MatrixObject read_matrix_object(const std::string& path, std::size_t threads) {
    Result<MatrixFile> file;
    {
        py::gil_scoped_release release;
        file = read_matrix_file(path, threads == 0 ? 1 : threads);
    }
    MatrixFile read = value_or_raise(std::move(file));
    // A header that cannot be written back still reads; write() says so.
    Result<Params> params = params_from_header(read.header.json);
    auto data = std::make_shared<MatrixData>(
        MatrixData{std::move(read.matrix), params ? *params : Params{}, read.header.json, true, std::nullopt});
    if (!params)
        data->write_refused = Error(fmt::format("Writing a matrix read from a file: its header cannot be written back: {}",
                                                params.error().message()));
    return MatrixObject(std::move(data));
}

namespace {

// A folder of its own under the system's temporary folder, removed with
// its files.
class Scratch {
public:
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "binscope-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw RunFailure(Error::from_errno(errno).context("Making a scratch folder"));
        path_ = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

using Operation = std::function<OpStatus(const std::vector<std::string>& inputs, const OpOutput& output)>;

// The operation on the matrices' files, its output read back.
MatrixObject through_files(const std::vector<const MatrixObject*>& matrices, std::size_t threads,
                           const Operation& operation) {
    Scratch scratch;
    std::vector<std::string> inputs;
    for (std::size_t i = 0; i < matrices.size(); ++i) {
        inputs.push_back(scratch.file(fmt::format("in{}.gz", i)));
        value_or_raise(matrices[i]->write_file(inputs.back()));
    }
    const OpOutput output{scratch.file("out.gz"), threads == 0 ? 1 : threads, true};
    OpStatus done;
    {
        py::gil_scoped_release release;
        done = operation(inputs, output);
    }
    if (!done) throw RunFailure(std::move(done.error().error));
    return read_matrix_object(output.path, output.threads);
}

std::vector<const MatrixObject*> matrix_list(const py::handle& matrices, const char* name) {
    std::vector<const MatrixObject*> list;
    for (const py::handle item : matrices) {
        if (!py::isinstance<MatrixObject>(item))
            throw py::type_error(fmt::format("{}() takes a list of binscope.Matrix", name));
        list.push_back(&item.cast<const MatrixObject&>());
    }
    if (list.empty()) throw py::value_error(fmt::format("{}() needs at least one matrix", name));
    return list;
}

template <class T>
std::vector<T> or_empty(const std::optional<std::vector<T>>& list) {
    return list ? *list : std::vector<T>{};
}

// Labels or 1-based numbers, as the command line takes them.
std::vector<std::string> label_words(const std::optional<std::vector<py::object>>& items) {
    std::vector<std::string> words;
    for (const auto& item : or_empty(items)) words.push_back(py::str(item).cast<std::string>());
    return words;
}

MatrixObject subset(const MatrixObject& m, const std::optional<std::vector<py::object>>& samples,
                    const std::optional<std::vector<py::object>>& groups, std::size_t threads) {
    // Made while the GIL is held: the operation runs without it.
    const auto sample_words = label_words(samples), group_words = label_words(groups);
    return through_files({&m}, threads, [&](const auto& in, const OpOutput& out) {
        return matrix_subset({in[0], out, sample_words, group_words});
    });
}

MatrixObject filter(const MatrixObject& m, std::optional<std::string> strand, std::optional<double> min,
                    std::optional<double> max, bool skip_zeros, std::optional<double> min_threshold,
                    std::optional<double> max_threshold, const std::optional<std::vector<std::string>>& regions_files,
                    std::size_t threads) {
    if (strand && *strand != "+" && *strand != "-" && *strand != ".")
        throw py::value_error(fmt::format("filter() strand must be '+', '-' or '.', not '{}'", *strand));
    return through_files({&m}, threads, [&](const auto& in, const OpOutput& out) {
        FilterSettings s;
        s.input = in[0];
        s.output = out;
        if (strand) s.strand = strand->front();
        s.min = min;
        s.max = max;
        s.skip_zeros = skip_zeros;
        s.min_threshold = min_threshold;
        s.max_threshold = max_threshold;
        s.regions_files = or_empty(regions_files);
        return matrix_filter(s);
    });
}

MatrixObject sort(const MatrixObject& m, const std::optional<std::string>& sort_regions, const std::string& sort_using,
                  const std::optional<std::vector<std::size_t>>& sort_using_samples,
                  const std::optional<std::vector<std::string>>& regions_files,
                  const std::optional<std::string>& sorted_regions, std::size_t threads) {
    return through_files({&m}, threads, [&](const auto& in, const OpOutput& out) {
        return matrix_sort({in[0], out, sort_regions, sort_using, or_empty(sort_using_samples), or_empty(regions_files),
                            sorted_regions});
    });
}

MatrixObject relabel(const MatrixObject& m, const std::optional<std::vector<std::string>>& samples_label,
                     const std::optional<std::vector<std::string>>& group_labels) {
    return through_files({&m}, 1, [&](const auto& in, const OpOutput& out) {
        return matrix_relabel({in[0], out, samples_label, group_labels});
    });
}

}  // namespace

void bind_matrix_ops(py::module_& module, py::class_<MatrixObject>& matrix) {
    module.def(
        "rbind",
        [](const py::object& matrices, std::size_t threads) {
            return through_files(matrix_list(matrices, "rbind"), threads,
                                 [](const auto& in, const OpOutput& out) { return matrix_rbind({in, out}); });
        },
        py::arg("matrices"), py::arg("number_of_processors") = 1,
        "The rows of matrices of the same samples and run parameters, group by group (groups in order of first "
        "appearance), as `binscope matrix rbind` combines their files. Returns a binscope.Matrix.");
    module.def(
        "cbind",
        [](const py::object& matrices, std::size_t threads) {
            return through_files(matrix_list(matrices, "cbind"), threads,
                                 [](const auto& in, const OpOutput& out) { return matrix_cbind({in, out}); });
        },
        py::arg("matrices"), py::arg("number_of_processors") = 1,
        "The samples of matrices of the same regions and bin layout side by side, rows matched by group, region and "
        "occurrence in the first matrix's order, as `binscope matrix cbind` combines their files.");
    matrix
        .def("subset", &subset, py::arg("samples") = py::none(), py::arg("groups") = py::none(),
             py::arg("number_of_processors") = 1,
             "The samples and groups given (labels, or numbers from 1), in that order, as `binscope matrix subset`.")
        .def("filter", &filter, py::arg("strand") = py::none(), py::arg("min") = py::none(),
             py::arg("max") = py::none(), py::arg("skip_zeros") = false, py::arg("min_threshold") = py::none(),
             py::arg("max_threshold") = py::none(), py::arg("regions_files") = py::none(),
             py::arg("number_of_processors") = 1, "The rows that pass every filter given, as `binscope matrix filter`.")
        .def("sort", &sort, py::arg("sort_regions") = py::none(), py::arg("sort_using") = "mean",
             py::arg("sort_using_samples") = py::none(), py::arg("regions_files") = py::none(),
             py::arg("sorted_regions") = py::none(), py::arg("number_of_processors") = 1,
             "The rows in a new order, as `binscope matrix sort`: sort_regions (with sort_using and "
             "sort_using_samples), or the order of regions_files, or that of a sorted-regions file.")
        .def("relabel", &relabel, py::arg("samples_label") = py::none(), py::arg("group_labels") = py::none(),
             "The same matrix with new sample or group labels, as `binscope matrix relabel`.");
}

}  // namespace binscope::python
