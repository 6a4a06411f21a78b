// op_support.hpp - what the matrix operations share: their errors, the
// run parameters an output header records, the output written beside its
// place and renamed into it, and how rows and labels are named.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "matrix/matrix.hpp"
#include "matrix_file/header_json.hpp"
#include "matrix_ops/matrix_ops.hpp"
#include "output/matrix.hpp"
#include "output/matrix_text.hpp"
#include "params.hpp"

namespace binscope {

std::unexpected<OpError> usage_error(std::string message);
std::unexpected<OpError> file_error(Error error);
std::unexpected<OpError> file_error(std::string message);

// The run parameters `header` records ("proc number" included), quiet as
// `output` is; an error names the file when they cannot be written back.
OpResult<Params> output_params(const MatrixHeader& header, const std::string& path, const OpOutput& output);

// The output file's stand-in beside it while it is written: renamed into
// place by commit(), removed when left without it.
class PendingOutput {
public:
    explicit PendingOutput(const std::string& path);
    ~PendingOutput();
    PendingOutput(const PendingOutput&) = delete;
    PendingOutput& operator=(const PendingOutput&) = delete;

    const std::string& temp_path() const { return temp_; }
    Status commit();

private:
    std::string path_;
    std::string temp_;
    bool committed_ = false;
};

// Writes a whole matrix as the compute subcommands do, beside `output.path`
// first, and prints the "Wrote" line. The header records params (its
// "proc number" the input's); output.threads do the work.
OpStatus write_whole(const Matrix& matrix, const Params& params, const OpOutput& output);

// Writes streamed rows the same way.
OpStatus write_streamed(const StreamedMatrix& layout, const OpOutput& output, const RowBatchSource& source);

// The "Wrote" line, and the warning when no row is left.
void report_written(const OpOutput& output, std::size_t rows);
void warn(std::string_view text);

// Group boundaries and labels of rows whose group labels are given in row
// order, consecutive equal entries one group.
struct GroupRunBuilder {
    RowGroups groups{{0}, {}};
    void add(std::size_t count, const std::string& label, std::size_t group_id);
    RowGroups finish();

private:
    std::size_t last_id_ = static_cast<std::size_t>(-1);
};

// A region as rows are matched: chromosome, blocks, name and strand.
std::string region_key(const Region& region);
// A region as an error names it: "chr1:100-200 name (+)".
std::string region_shown(const Region& region);

// The 0-based entries `values` select among `labels`: a value equal to
// one label is that label (refused when two share it), otherwise a number
// from 1. `option` names the option in errors.
OpResult<std::vector<std::size_t>> select_labels(const std::vector<std::string>& values,
                                                 const std::vector<std::string>& labels, std::string_view option);

// Refused when the file records a row filter, naming the filter: the rows
// it dropped depend on every sample.
OpStatus refuse_row_filter(const MatrixHeader& header, const std::string& path, std::string_view what);

// Refused when the two headers differ in a key other than `ignored`; the
// per-sample arrays compare their first entries when `per_sample_once`.
OpStatus compare_headers(const MatrixHeader& a, const std::string& a_path, const MatrixHeader& b,
                         const std::string& b_path, const std::vector<std::string>& ignored, bool per_sample_once,
                         std::string_view what);

// Whether the header's sort settings reorder rows.
bool header_sorts(const Params& params);

}  // namespace binscope
