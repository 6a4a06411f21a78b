// keyword_options.cpp - the keyword arguments of the Python functions,
// converted into the command line's record and validated by make_params.
#include "keyword_options.hpp"

#include <fmt/format.h>

#include <optional>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

#include "cli.hpp"
#include "params_from_cli.hpp"

namespace binscope::python {

namespace py = pybind11;

namespace {

// Where a keyword's value lands in the command-line record; the field's
// type decides which Python types it takes.
using Field = std::variant<bool CommonArgs::*, std::int64_t CommonArgs::*, std::size_t CommonArgs::*,
                           double CommonArgs::*, std::optional<double> CommonArgs::*, std::string CommonArgs::*,
                           std::optional<std::string> CommonArgs::*,
                           std::optional<std::vector<std::string>> CommonArgs::*, std::string ReferencePoint::*,
                           std::int64_t ScaleRegions::*>;

struct KeywordOption {
    std::string_view name;
    Field field;
    std::string_view help;
};

// In the order of the command line's help; defaults come from its records.
const KeywordOption kOptions[] = {
    {"before_region_start_length", &CommonArgs::before_region_start_length, "bases upstream"},
    {"after_region_start_length", &CommonArgs::after_region_start_length,
     "bases downstream (of the reference point, or of the region end)"},
    {"region_body_length", &ScaleRegions::region_body_length, "bases every region body is scaled to"},
    {"unscaled5prime", &ScaleRegions::unscaled_5_prime, "bases left unscaled at the 5' end of the body"},
    {"unscaled3prime", &ScaleRegions::unscaled_3_prime, "bases left unscaled at the 3' end of the body"},
    {"reference_point", &ReferencePoint::reference_point, "TSS, TES or center (any case)"},
    {"bin_size", &CommonArgs::bin_size, "bin width in bases"},
    {"average_type_bins", &CommonArgs::average_type_bins, "mean, median, min, max, sum or std"},
    {"skip_zeros", &CommonArgs::skip_zeros, "drop rows whose mean is zero, or that have no value"},
    {"missing_data_as_zero", &CommonArgs::missing_data_as_zero, "bases without data count as 0"},
    {"min_threshold", &CommonArgs::min_threshold, "drop rows with any value at or below it"},
    {"max_threshold", &CommonArgs::max_threshold, "drop rows with any value at or above it"},
    {"scale", &CommonArgs::scale, "multiply every value"},
    {"nan_after_end", &CommonArgs::nan_after_end, "missing values where a short region ends"},
    {"metagene", &CommonArgs::metagene, "a BED12 region is made of its blocks only"},
    {"black_list_file_name", &CommonArgs::black_list_file_name, "BED file of regions to drop"},
    {"samples_label", &CommonArgs::samples_label, "one label per score file (default: file names)"},
    {"sort_regions", &CommonArgs::sort_regions, "keep, no, ascend or descend (within each group)"},
    {"sort_using", &CommonArgs::sort_using, "mean, median, max, min, sum or region_length"},
    {"number_of_processors", &CommonArgs::number_of_processors, "worker threads (0 means 1)"},
};

// The keyword that turns progress lines (on standard error) on.
constexpr std::string_view kProgress = "progress";

std::string_view function_name(Subcommand subcommand) {
    return subcommand == Subcommand::ReferencePoint ? "reference_point" : "scale_regions";
}

bool accepts(const KeywordOption& option, Subcommand subcommand) {
    return std::visit(
        [subcommand]<class R, class T>(T R::*) {
            if constexpr (std::is_same_v<R, ReferencePoint>) return subcommand == Subcommand::ReferencePoint;
            else if constexpr (std::is_same_v<R, ScaleRegions>) return subcommand == Subcommand::ScaleRegions;
            else return true;
        },
        option.field);
}

// Converts one keyword's value; `where` is "function() argument 'name'".
class Converter {
public:
    explicit Converter(std::string where) : where_(std::move(where)) {}

    [[noreturn]] void wrong_type(std::string_view expected, py::handle value) const {
        throw py::type_error(fmt::format("{} must be {}, not {}", where_, expected, Py_TYPE(value.ptr())->tp_name));
    }

    void store(bool& field, py::handle value) const {
        if (!PyBool_Check(value.ptr())) wrong_type("bool", value);
        field = value.ptr() == Py_True;
    }
    void store(std::int64_t& field, py::handle value) const {
        if (PyBool_Check(value.ptr()) || !PyIndex_Check(value.ptr())) wrong_type("int", value);
        field = py::cast<std::int64_t>(py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr())));
    }
    void store(std::size_t& field, py::handle value) const {
        std::int64_t signed_value = 0;
        store(signed_value, value);
        if (signed_value < 0) throw py::value_error(fmt::format("{} must not be negative: {}", where_, signed_value));
        field = static_cast<std::size_t>(signed_value);
    }
    void store(double& field, py::handle value) const {
        if (PyBool_Check(value.ptr()) || PyUnicode_Check(value.ptr()) || !PyNumber_Check(value.ptr()))
            wrong_type("float", value);
        const double number = PyFloat_AsDouble(value.ptr());
        if (number == -1.0 && PyErr_Occurred()) {
            PyErr_Clear();
            wrong_type("float", value);
        }
        field = number;
    }
    void store(std::optional<double>& field, py::handle value) const {
        if (value.is_none()) return field.reset();
        store(field.emplace(), value);
    }
    void store(std::string& field, py::handle value) const {
        if (!PyUnicode_Check(value.ptr())) wrong_type("str", value);
        field = py::cast<std::string>(value);
    }
    void store(std::optional<std::string>& field, py::handle value) const {
        if (value.is_none()) return field.reset();
        field = path(value);
    }
    void store(std::optional<std::vector<std::string>>& field, py::handle value) const {
        if (value.is_none()) return field.reset();
        field = strings(value, "str or a list of str", [this](py::handle item) {
            std::string text;
            store(text, item);
            return text;
        });
    }

    std::string path(py::handle value) const { return path_argument(value, where_); }

    // One path, or a non-empty list or tuple of them.
    std::vector<std::string> paths(py::handle value) const {
        auto list = strings(value, "a path or a list of paths", [this](py::handle item) { return path(item); });
        if (list.empty()) throw py::value_error(fmt::format("{} must name at least one file", where_));
        return list;
    }

private:
    template <class Item>
    std::vector<std::string> strings(py::handle value, std::string_view expected, Item item) const {
        if (!PyList_Check(value.ptr()) && !PyTuple_Check(value.ptr())) {
            try {
                return {item(value)};
            } catch (const py::type_error&) {
                wrong_type(expected, value);
            }
        }
        std::vector<std::string> out;
        for (py::handle element : value) out.push_back(item(element));
        return out;
    }

    std::string where_;
};

template <class R>
R& record_for(Cli& cli) {
    if constexpr (std::is_same_v<R, CommonArgs>) {
        if (auto* rp = std::get_if<ReferencePoint>(&cli.command)) return rp->common;
        return std::get<ScaleRegions>(cli.command).common;
    } else
        return std::get<R>(cli.command);
}

const KeywordOption* find_option(std::string_view name, Subcommand subcommand) {
    for (const auto& option : kOptions)
        if (option.name == name && accepts(option, subcommand)) return &option;
    return nullptr;
}

// Every keyword into the record; progress lines are off unless asked for.
void apply_keywords(Cli& cli, Subcommand subcommand, const py::kwargs& options) {
    CommonArgs& common = record_for<CommonArgs>(cli);
    common.quiet = true;
    for (const auto& [key, value] : options) {
        const auto name = py::cast<std::string>(key);
        const Converter converter(fmt::format("{}() argument '{}'", function_name(subcommand), name));
        if (name == kProgress) {
            bool progress = false;
            converter.store(progress, value);
            common.quiet = !progress;
            continue;
        }
        const KeywordOption* option = find_option(name, subcommand);
        if (!option)
            throw py::type_error(
                fmt::format("{}() got an unexpected keyword argument '{}'", function_name(subcommand), name));
        std::visit([&]<class R, class T>(T R::*member) { converter.store(record_for<R>(cli).*member, value); },
                   option->field);
    }
}

// A default as Python would write it: None for options without one.
std::string default_repr(const KeywordOption& option) {
    static const ReferencePoint reference_defaults;
    static const ScaleRegions scale_defaults;
    return std::visit(
        []<class R, class T>(T R::*member) -> std::string {
            const R* record = nullptr;
            if constexpr (std::is_same_v<R, CommonArgs>) record = &reference_defaults.common;
            else if constexpr (std::is_same_v<R, ReferencePoint>) record = &reference_defaults;
            else record = &scale_defaults;
            const T& value = record->*member;
            if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::size_t> ||
                          std::is_same_v<T, double> || std::is_same_v<T, std::string> || std::is_same_v<T, bool>)
                return py::cast<std::string>(py::repr(py::cast(value)));
            else
                return "None";
        },
        option.field);
}

}  // namespace

std::string path_argument(py::handle value, std::string_view where) {
    const py::module_ os = py::module_::import("os");
    if (!PyUnicode_Check(value.ptr()) && !PyBytes_Check(value.ptr()) && !py::isinstance(value, os.attr("PathLike")))
        throw py::type_error(
            fmt::format("{} must be str or os.PathLike, not {}", where, Py_TYPE(value.ptr())->tp_name));
    return py::cast<std::string>(py::bytes(os.attr("fsencode")(value)));
}

Result<Params> params_from_arguments(Subcommand subcommand, py::handle score_files, py::handle region_files,
                                     const py::kwargs& options) {
    Cli cli;
    if (subcommand == Subcommand::ReferencePoint) cli.command = ReferencePoint{};
    else cli.command = ScaleRegions{};
    apply_keywords(cli, subcommand, options);
    CommonArgs& common = record_for<CommonArgs>(cli);
    const std::string function(function_name(subcommand));
    common.score_file_name = Converter(function + "() argument 'score_files'").paths(score_files);
    common.regions_file_name = Converter(function + "() argument 'region_files'").paths(region_files);
    return make_params(cli);
}

std::string options_doc(Subcommand subcommand) {
    std::string doc = "Options (keyword arguments, the command line's long options in snake case):\n";
    for (const auto& option : kOptions)
        if (accepts(option, subcommand))
            doc += fmt::format("    {}={}\n        {}\n", option.name, default_repr(option), option.help);
    doc += fmt::format("    {}=False\n        progress lines on standard error\n", kProgress);
    return doc;
}

}  // namespace binscope::python
