// row_plan.hpp - an output made of runs of input rows, streamed: each row
// read, given its columns and written a batch at a time, so that memory
// stays bounded whatever the files' sizes.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "matrix_file/row_stream.hpp"
#include "matrix_ops/matrix_ops.hpp"
#include "output/matrix_text.hpp"

namespace binscope {

// Rows [begin, end) of input `input`.
struct RowRun {
    std::size_t input = 0;
    std::size_t begin = 0;
    std::size_t end = 0;
};

struct RowPlan {
    std::vector<std::string> inputs;
    std::vector<RowRun> runs;           // the planned rows, in output order
    std::vector<std::size_t> columns;   // the input columns each output row takes; empty for all
    std::vector<bool> keep;             // per planned row, whether it is written; empty for all
};

// The number of rows the plan writes.
std::size_t planned_rows(const RowPlan& plan);

// Writes the plan's rows under `groups` and the header of `params` with
// `sample_labels`, beside output.path first; prints the "Wrote" line.
OpStatus write_planned(const RowPlan& plan, const RowGroups& groups, const std::vector<std::string>& sample_labels,
                       const Params& params, const OpOutput& output);

// Calls visit(region, values) for every row of the file, in order.
using RowVisit = std::function<void(const Region& region, const float* values)>;
Status scan_rows(MatrixRowStream& stream, const RowVisit& visit);

// The streams of several inputs, each opened where it is first needed and
// opened again when a run starts before its position.
class InputStreams {
public:
    explicit InputStreams(const std::vector<std::string>& paths) : paths_(paths), streams_(paths.size()) {}
    // The stream of `input`, positioned at `row`.
    Result<MatrixRowStream*> at(std::size_t input, std::size_t row);
    // Closes the stream of `input` (it is not needed again).
    void close(std::size_t input) { streams_[input].reset(); }

private:
    const std::vector<std::string>& paths_;
    std::vector<std::unique_ptr<MatrixRowStream>> streams_;
};

}  // namespace binscope
