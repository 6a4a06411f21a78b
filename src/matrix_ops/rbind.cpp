// rbind.cpp - the rows of several matrix files of the same samples and run
// parameters, group by group: groups in order of first appearance, a group
// seen before taking its new rows after its earlier ones.
#include <fmt/format.h>

#include "matrix_ops/matrix_ops.hpp"
#include "matrix_ops/op_support.hpp"
#include "matrix_ops/row_plan.hpp"

namespace binscope {

namespace {

// The header keys rows of one run may differ in.
const std::vector<std::string> kRowKeys{"group_boundaries", "group_labels", "proc number", "verbose"};

}  // namespace

OpStatus matrix_rbind(const BindSettings& settings) {
    if (settings.inputs.empty()) return usage_error("rbind needs at least one matrix file (-m)");
    std::vector<MatrixHeader> headers;
    for (const std::string& path : settings.inputs) {
        auto stream = MatrixRowStream::open(path);
        if (!stream) return file_error(std::move(stream.error()));
        headers.push_back(stream->header());
    }
    for (std::size_t i = 1; i < headers.size(); ++i)
        if (auto same = compare_headers(headers[0], settings.inputs[0], headers[i], settings.inputs[i], kRowKeys, false,
                                        "Combining rows");
            !same)
            return same;
    auto params = output_params(headers[0], settings.inputs[0], settings.output);
    if (!params) return std::unexpected(std::move(params.error()));

    // Every label once, in order of first appearance.
    std::vector<std::string> labels;
    for (const MatrixHeader& header : headers)
        for (const std::string& label : header.group_labels)
            if (std::find(labels.begin(), labels.end(), label) == labels.end()) labels.push_back(label);

    RowPlan plan;
    plan.inputs = settings.inputs;
    GroupRunBuilder groups;
    for (std::size_t k = 0; k < labels.size(); ++k)
        for (std::size_t i = 0; i < headers.size(); ++i) {
            const auto& bounds = headers[i].group_boundaries;
            for (std::size_t g = 0; g < headers[i].group_labels.size(); ++g) {
                if (headers[i].group_labels[g] != labels[k]) continue;
                plan.runs.push_back({i, bounds[g], bounds[g + 1]});
                groups.add(bounds[g + 1] - bounds[g], labels[k], k);
            }
        }
    return write_planned(plan, groups.finish(), headers[0].sample_labels, *params, settings.output);
}

}  // namespace binscope
