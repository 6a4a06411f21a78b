// matrix_ops.hpp - operations on matrix files that need no score file:
// describe, take samples or groups, filter, combine by rows or by samples,
// reorder and relabel. Each reads with the matrix-file reader and writes
// with the matrix writer; each output is the file a run would have written
// for the same rows and samples.
#pragma once

#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <vector>

#include "error.hpp"

namespace binscope {

// Why an operation failed: `usage` when the options do not fit (the
// command line's exit status 2), otherwise a bad or unfit file (1).
struct OpError {
    Error error;
    bool usage = false;
};
using OpStatus = std::expected<void, OpError>;
template <class T>
using OpResult = std::expected<T, OpError>;

// What every operation that writes takes besides its own settings.
struct OpOutput {
    std::string path;          // -o; written beside, then renamed into place
    std::size_t threads = 1;   // -p: parsing, formatting and compressing
    bool quiet = false;        // no progress lines (warnings stay)
};

struct InfoSettings {
    std::string input;
    bool json = false;
};
// The file's rows, columns, samples, groups and run parameters, as
// readable text or as JSON; the text ends in "\n".
OpResult<std::string> matrix_info(const InfoSettings& settings);

struct RangeSettings {
    std::string input;
    std::size_t threads = 1;
    bool json = false;
};
// Per sample: minimum, maximum, mean, missing count and the 1st, 50th and
// 99th percentiles of its values, as a table or as JSON.
OpResult<std::string> matrix_range(const RangeSettings& settings);

struct SubsetSettings {
    std::string input;
    OpOutput output;
    std::vector<std::string> samples;  // labels or 1-based numbers; empty for all
    std::vector<std::string> groups;   // likewise
};
OpStatus matrix_subset(const SubsetSettings& settings);

struct FilterSettings {
    std::string input;
    OpOutput output;
    std::optional<char> strand;  // '+', '-' or '.'
    std::optional<double> min;   // a row with a value below is dropped
    std::optional<double> max;   // a row with a value above is dropped
    bool skip_zeros = false;
    std::optional<double> min_threshold;
    std::optional<double> max_threshold;
    std::vector<std::string> regions_files;  // keep the rows whose region these files list
};
OpStatus matrix_filter(const FilterSettings& settings);

struct BindSettings {
    std::vector<std::string> inputs;
    OpOutput output;
};
// The rows of every input, group by group (groups in order of first
// appearance).
OpStatus matrix_rbind(const BindSettings& settings);
// The samples of every input, rows matched by group, region and occurrence.
OpStatus matrix_cbind(const BindSettings& settings);

struct SortSettings {
    std::string input;
    OpOutput output;
    std::optional<std::string> sort_regions;       // descend, ascend, keep, no (as entered)
    std::string sort_using = "mean";               // as entered
    std::vector<std::size_t> sort_using_samples;   // 1-based; empty for all
    std::vector<std::string> regions_files;        // follow these files' region order
    std::optional<std::string> sorted_regions;     // take order and groups from this file
};
OpStatus matrix_sort(const SortSettings& settings);

struct RelabelSettings {
    std::string input;
    OpOutput output;
    std::optional<std::vector<std::string>> samples_label;
    std::optional<std::vector<std::string>> group_labels;
};
OpStatus matrix_relabel(const RelabelSettings& settings);

}  // namespace binscope
