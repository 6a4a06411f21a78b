// keyword_options.hpp - the keyword arguments of the Python functions: the
// command line's options in snake case, converted into the command line's
// own record and validated by the same make_params.
#pragma once

#include <pybind11/pybind11.h>

#include <string>
#include <string_view>

#include "params.hpp"

namespace binscope::python {

enum class Subcommand { ReferencePoint, ScaleRegions };

// Params for one subcommand from its positional paths and keyword
// arguments. Wrong types and unknown keywords raise TypeError, negative
// processor counts ValueError (both as py::error_already_set); what
// make_params refuses comes back as its Error. Progress lines are off
// unless progress=True.
Result<Params> params_from_arguments(Subcommand subcommand, pybind11::handle score_files,
                                     pybind11::handle region_files, const pybind11::kwargs& options);

// A str, bytes or os.PathLike as the bytes the system sees; TypeError
// naming `where` ("function() argument 'name'") for anything else.
std::string path_argument(pybind11::handle value, std::string_view where);

// The "Options" section of a function's docstring: every keyword with its
// default and meaning.
std::string options_doc(Subcommand subcommand);

}  // namespace binscope::python
