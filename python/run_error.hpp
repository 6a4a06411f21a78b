// run_error.hpp - binscope.Error: a failed run raised in Python with the
// command line's report as its message and the causes as a list.
#pragma once

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <exception>
#include <utility>

#include "error.hpp"

namespace binscope::python {

// Thrown by the binding for a failed run; pybind11 turns it into
// binscope.Error through the translator register_run_error installs.
class RunFailure : public std::exception {
public:
    explicit RunFailure(Error error) : error_(std::move(error)) {}
    const char* what() const noexcept override { return "binscope run failed"; }
    const Error& error() const { return error_; }

private:
    Error error_;
};

// Adds the exception class Error to the module, and its translator.
void register_run_error(pybind11::module_& module);

// The value, or RunFailure for the error.
template <class T>
T value_or_raise(std::expected<T, Error> result) {
    if (!result) throw RunFailure(std::move(result.error()));
    return std::move(*result);
}

inline void value_or_raise(Status status) {
    if (!status) throw RunFailure(std::move(status.error()));
}

}  // namespace binscope::python
