// matrix_ops_run.cpp - the `matrix` operations run from the command line.
#include "matrix_ops_run.hpp"

#include <cstdio>

#include "matrix_ops/matrix_ops.hpp"
#include "progress.hpp"

namespace binscope {

namespace {

OpOutput output_of(const MatrixOutputArgs& a) { return OpOutput{a.out_file_name, a.number_of_processors, a.quiet}; }

template <class T>
std::vector<T> list_or_empty(const std::optional<std::vector<T>>& list) {
    return list ? *list : std::vector<T>{};
}

OpResult<std::string> printed(const MatrixInfo& a) { return matrix_info({a.matrix_file, a.json}); }
OpResult<std::string> printed(const MatrixRange& a) {
    return matrix_range({a.matrix_file, a.number_of_processors, a.json});
}

OpStatus written(const MatrixSubset& a) {
    return matrix_subset({a.matrix_file, output_of(a.output), list_or_empty(a.samples), list_or_empty(a.groups)});
}
OpStatus written(const MatrixFilter& a) {
    FilterSettings s;
    s.input = a.matrix_file;
    s.output = output_of(a.output);
    if (a.strand) s.strand = a.strand->front();
    s.min = a.min;
    s.max = a.max;
    s.skip_zeros = a.skip_zeros;
    s.min_threshold = a.min_threshold;
    s.max_threshold = a.max_threshold;
    s.regions_files = list_or_empty(a.regions_file_name);
    return matrix_filter(s);
}
OpStatus written(const MatrixRbind& a) { return matrix_rbind({a.matrix_file, output_of(a.output)}); }
OpStatus written(const MatrixCbind& a) { return matrix_cbind({a.matrix_file, output_of(a.output)}); }
OpStatus written(const MatrixSort& a) {
    return matrix_sort({a.matrix_file, output_of(a.output), a.sort_regions, a.sort_using,
                        list_or_empty(a.sort_using_samples), list_or_empty(a.regions_file_name), a.sorted_regions});
}
OpStatus written(const MatrixRelabel& a) {
    return matrix_relabel({a.matrix_file, output_of(a.output), a.samples_label, a.group_labels});
}

int failed(const OpError& e) {
    write_stderr(format_error_report(e.error));
    return e.usage ? 2 : 1;
}

}  // namespace

std::optional<int> run_matrix_operation(const Cli& cli) {
    return std::visit(
        []<class C>(const C& args) -> std::optional<int> {
            if constexpr (requires { printed(args); }) {
                auto text = printed(args);
                if (!text) return failed(text.error());
                std::fwrite(text->data(), 1, text->size(), stdout);
                std::fflush(stdout);
                return 0;
            } else if constexpr (requires { written(args); }) {
                auto status = written(args);
                if (!status) return failed(status.error());
                return 0;
            } else {
                return std::nullopt;
            }
        },
        cli.command);
}

}  // namespace binscope
