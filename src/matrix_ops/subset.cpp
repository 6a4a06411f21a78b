// subset.cpp - the samples and groups asked for, in the order asked, and
// the same rows with new labels.
#include <fmt/format.h>
#include <numeric>

#include "matrix/sort.hpp"
#include "matrix_file/matrix_file.hpp"
#include "matrix_ops/matrix_ops.hpp"
#include "matrix_ops/op_support.hpp"
#include "matrix_ops/row_plan.hpp"
#include "utf8.hpp"

namespace binscope {

namespace {

// The columns of the chosen samples, in their order.
std::vector<std::size_t> sample_columns_of(const MatrixHeader& header, const std::vector<std::size_t>& samples) {
    std::vector<std::size_t> columns;
    for (const std::size_t s : samples)
        for (std::size_t c = header.sample_boundaries[s]; c < header.sample_boundaries[s + 1]; ++c)
            columns.push_back(c);
    return columns;
}

// A sorted input with fewer samples: its rows sorted again, on the values
// left, as a run over those samples sorts them.
OpStatus subset_sorted(const SubsetSettings& settings, const RowPlan& plan, const RowGroups& groups,
                       const std::vector<std::string>& labels, const Params& params) {
    auto file = read_matrix_file(settings.input, settings.output.threads);
    if (!file) return file_error(std::move(file.error()));
    const Matrix& in = file->matrix;
    Matrix out;
    out.cols = plan.columns.size();
    out.region_set.groups = groups.labels;
    out.sample_labels = labels;
    std::size_t group = 0;
    for (const RowRun& run : plan.runs) {
        for (std::size_t r = run.begin; r < run.end; ++r) {
            Region region = in.region(r);
            region.group = static_cast<GroupIndex>(group);
            out.region_set.regions.push_back(std::move(region));
            out.row_regions.push_back(out.row_regions.size());
            for (const std::size_t c : plan.columns) out.values.push_back(in.row(r)[c]);
        }
        if (run.end > run.begin) ++group;
    }
    out.group_boundaries = groups.boundaries;
    out = sort_rows(std::move(out), parse_sort_regions(params.sortRegions), parse_sort_using(params.sortUsing));
    return write_whole(out, params, settings.output);
}

}  // namespace

OpStatus matrix_subset(const SubsetSettings& settings) {
    auto stream = MatrixRowStream::open(settings.input);
    if (!stream) return file_error(std::move(stream.error()));
    const MatrixHeader& header = stream->header();
    auto params = output_params(header, settings.input, settings.output);
    if (!params) return std::unexpected(std::move(params.error()));

    std::vector<std::size_t> samples(header.sample_labels.size());
    std::iota(samples.begin(), samples.end(), std::size_t{0});
    if (!settings.samples.empty()) {
        auto chosen = select_labels(settings.samples, header.sample_labels, "--samples");
        if (!chosen) return std::unexpected(std::move(chosen.error()));
        if (auto refused = refuse_row_filter(header, settings.input, "Taking samples apart"); !refused)
            return refused;
        samples = std::move(*chosen);
    }
    std::vector<std::size_t> group_list(header.group_labels.size());
    std::iota(group_list.begin(), group_list.end(), std::size_t{0});
    if (!settings.groups.empty()) {
        auto chosen = select_labels(settings.groups, header.group_labels, "--groups");
        if (!chosen) return std::unexpected(std::move(chosen.error()));
        group_list = std::move(*chosen);
    }

    RowPlan plan;
    plan.inputs = {settings.input};
    plan.columns = sample_columns_of(header, samples);
    GroupRunBuilder groups;
    for (std::size_t k = 0; k < group_list.size(); ++k) {
        const std::size_t g = group_list[k];
        const RowRun run{0, header.group_boundaries[g], header.group_boundaries[g + 1]};
        plan.runs.push_back(run);
        groups.add(run.end - run.begin, header.group_labels[g], k);
    }
    std::vector<std::string> labels;
    for (const std::size_t s : samples) labels.push_back(header.sample_labels[s]);
    const RowGroups row_groups = groups.finish();
    if (planned_rows(plan) == 0 && header.group_boundaries.back() > 0)
        warn(fmt::format("--groups left no row: {} is written without rows", settings.output.path));
    if (!settings.samples.empty() && header_sorts(*params))
        return subset_sorted(settings, plan, row_groups, labels, *params);
    return write_planned(plan, row_groups, labels, *params, settings.output);
}

OpStatus matrix_relabel(const RelabelSettings& settings) {
    auto stream = MatrixRowStream::open(settings.input);
    if (!stream) return file_error(std::move(stream.error()));
    const MatrixHeader& header = stream->header();
    auto params = output_params(header, settings.input, settings.output);
    if (!params) return std::unexpected(std::move(params.error()));
    std::vector<std::string> samples = header.sample_labels;
    std::vector<std::string> group_labels = header.group_labels;
    if (settings.samples_label) {
        if (settings.samples_label->size() != samples.size())
            return usage_error(fmt::format("--samplesLabel gives {} labels for the {} samples of {}",
                                           settings.samples_label->size(), samples.size(),
                                           to_utf8_lossy(settings.input)));
        samples = *settings.samples_label;
    }
    if (settings.group_labels) {
        if (settings.group_labels->size() != group_labels.size())
            return usage_error(fmt::format("--groupLabels gives {} labels for the {} groups of {}",
                                           settings.group_labels->size(), group_labels.size(),
                                           to_utf8_lossy(settings.input)));
        group_labels = *settings.group_labels;
    }
    RowPlan plan;
    plan.inputs = {settings.input};
    plan.runs.push_back({0, 0, stream->rows()});
    RowGroups groups{header.group_boundaries, group_labels};
    return write_planned(plan, groups, samples, *params, settings.output);
}

}  // namespace binscope
