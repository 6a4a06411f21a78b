// binscope_module.cpp - the Python module binscope: the matrix of the
// command line's two subcommands, computed by the same library, as a
// numpy array.
#include <pybind11/pybind11.h>

#include <memory>
#include <string>

#include "interruptible.hpp"
#include "keyword_options.hpp"
#include "matrix_object.hpp"
#include "output/matrix_text.hpp"
#include "run_error.hpp"
#ifdef BINSCOPE_PYTHON_READ_MATRIX
#include "matrix_ops_binding.hpp"
#endif

namespace py = pybind11;

namespace binscope::python {

namespace {

// The header line the matrix file will start with, as bare JSON.
std::string header_json(const Matrix& matrix, const Params& params) {
    std::string line = matrix_header_line(matrix, matrix.sample_labels, params);
    if (line.starts_with('@')) line.erase(0, 1);
    if (line.ends_with('\n')) line.pop_back();
    return line;
}

MatrixObject compute(Subcommand subcommand, py::handle score_files, py::handle region_files,
                     const py::kwargs& options) {
    Params params = value_or_raise(params_from_arguments(subcommand, score_files, region_files, options));
    Matrix matrix = compute_interruptibly(params);
    std::string header = header_json(matrix, params);
    return MatrixObject(std::make_shared<MatrixData>(MatrixData{std::move(matrix), std::move(params),
                                                                std::move(header), false, std::nullopt}));
}

#ifdef BINSCOPE_PYTHON_READ_MATRIX
MatrixObject read_matrix_at(py::handle path, std::size_t threads) {
    return read_matrix_object(path_argument(path, "read_matrix() argument 'path'"), threads);
}
#endif

std::string function_doc(Subcommand subcommand) {
    const bool reference = subcommand == Subcommand::ReferencePoint;
    std::string doc = reference
                          ? "The score matrix around one point of every region (its start, end or centre),\n"
                            "exactly as `binscope reference-point` computes it.\n\n"
                          : "The score matrix over every region body scaled to the same length, with flanks,\n"
                            "exactly as `binscope scale-regions` computes it.\n\n";
    doc += "score_files: a bigWig path or http(s) address (str or os.PathLike), or a list of\n"
           "    them; one block of columns each.\n"
           "region_files: a BED or GTF path, or a list of them; several files make groups.\n\n";
    doc += options_doc(subcommand);
    doc += "\nReturns a binscope.Matrix. Raises binscope.Error when the run fails (the message\n"
           "is the command line's report), TypeError for an unknown keyword or a value of the\n"
           "wrong type, and KeyboardInterrupt on Ctrl-C (the computation stops within about a\n"
           "second). The GIL is released while the matrix is computed.";
    return doc;
}

}  // namespace

}  // namespace binscope::python

PYBIND11_MODULE(binscope, module) {
    using namespace binscope::python;
    module.doc() = "Binned score matrices of bigWig signal over BED/GTF regions, as numpy arrays.";
    module.attr("__version__") = BINSCOPE_VERSION;
    register_run_error(module);
    auto matrix = bind_matrix(module);
    static const std::string reference_doc = function_doc(Subcommand::ReferencePoint);
    static const std::string scale_doc = function_doc(Subcommand::ScaleRegions);
    module.def(
        "reference_point",
        [](const py::object& score_files, const py::object& region_files, const py::kwargs& options) {
            return compute(Subcommand::ReferencePoint, score_files, region_files, options);
        },
        py::arg("score_files"), py::arg("region_files"), reference_doc.c_str());
    module.def(
        "scale_regions",
        [](const py::object& score_files, const py::object& region_files, const py::kwargs& options) {
            return compute(Subcommand::ScaleRegions, score_files, region_files, options);
        },
        py::arg("score_files"), py::arg("region_files"), scale_doc.c_str());
#ifdef BINSCOPE_PYTHON_READ_MATRIX
    bind_matrix_ops(module, matrix);
    module.def("read_matrix", &read_matrix_at, py::arg("path"), py::arg("number_of_processors") = 1,
               "Reads a gzipped matrix file (path: str or os.PathLike) into a binscope.Matrix, values exactly as "
               "written; number_of_processors threads parse the rows. Raises binscope.Error for a file that "
               "cannot be read, naming the file and, for a row, its line.");
#endif
}
