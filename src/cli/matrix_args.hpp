// matrix_args.hpp - the command-line records of the `matrix` operations,
// which read matrix files and write one without any score file.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace binscope {

// The options of every operation that writes a matrix file.
struct MatrixOutputArgs {
    std::string out_file_name;
    std::size_t number_of_processors = 1;
    bool quiet = false;
};

struct MatrixInfo {
    std::string matrix_file;
    bool json = false;
};

struct MatrixRange {
    std::string matrix_file;
    bool json = false;
    std::size_t number_of_processors = 1;
};

struct MatrixSubset {
    std::string matrix_file;
    MatrixOutputArgs output;
    MatrixOutputArgs& shared() { return output; }
    std::optional<std::vector<std::string>> samples;
    std::optional<std::vector<std::string>> groups;
};

struct MatrixFilter {
    std::string matrix_file;
    MatrixOutputArgs output;
    MatrixOutputArgs& shared() { return output; }
    std::optional<std::string> strand;
    std::optional<double> min;
    std::optional<double> max;
    bool skip_zeros = false;
    std::optional<double> min_threshold;
    std::optional<double> max_threshold;
    std::optional<std::vector<std::string>> regions_file_name;
};

// rbind and cbind: one record shape, two types.
enum class BindKind { rows, samples };
template <BindKind K>
struct MatrixBind {
    std::vector<std::string> matrix_file;
    MatrixOutputArgs output;
    MatrixOutputArgs& shared() { return output; }
};
using MatrixRbind = MatrixBind<BindKind::rows>;
using MatrixCbind = MatrixBind<BindKind::samples>;

struct MatrixSort {
    std::string matrix_file;
    MatrixOutputArgs output;
    MatrixOutputArgs& shared() { return output; }
    std::optional<std::string> sort_regions;
    std::string sort_using = "mean";
    std::optional<std::vector<std::size_t>> sort_using_samples;  // 1-based
    std::optional<std::vector<std::string>> regions_file_name;
    std::optional<std::string> sorted_regions;
};

struct MatrixRelabel {
    std::string matrix_file;
    MatrixOutputArgs output;
    MatrixOutputArgs& shared() { return output; }
    std::optional<std::vector<std::string>> samples_label;
    std::optional<std::vector<std::string>> group_labels;
};

}  // namespace binscope
