// run_error.cpp - binscope.Error: a failed run raised in Python with the
// command line's report as its message and the causes as a list.
#include "run_error.hpp"

#include <string>
#include <string_view>

namespace binscope::python {

namespace py = pybind11;

namespace {

// The exception class, created once with the module and never freed.
PyObject* g_error_type = nullptr;

// The command line's report without its "Error: " and final newline: what
// the traceback shows after "binscope.Error: ".
std::string report_text(const Error& error) {
    std::string report = format_error_report(error);
    constexpr std::string_view prefix = "Error: ";
    if (report.starts_with(prefix)) report.erase(0, prefix.size());
    if (report.ends_with('\n')) report.pop_back();
    return report;
}

void raise(const Error& error) {
    py::object instance = py::reinterpret_borrow<py::object>(g_error_type)(report_text(error));
    instance.attr("causes") = py::cast(error.causes());
    PyErr_SetObject(g_error_type, instance.ptr());
}

}  // namespace

void register_run_error(py::module_& module) {
    g_error_type = PyErr_NewExceptionWithDoc(
        "binscope.Error",
        "A failed run: the message is the command line's report (the error, then its causes), and `causes` "
        "lists the causes, outermost first.",
        PyExc_Exception, nullptr);
    if (g_error_type == nullptr) throw py::error_already_set();
    module.add_object("Error", py::reinterpret_borrow<py::object>(g_error_type));
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) std::rethrow_exception(thrown);
        } catch (const RunFailure& failure) {
            raise(failure.error());
        }
    });
}

}  // namespace binscope::python
