// figure_run.cpp - the pipeline of one `heatmap` or `profile` run, stage
// after stage: read the matrix file, keep the samples and groups drawn,
// order its rows, put the figure's data together, draw it, write the
// numbers behind its profiles and the regions in drawn order.
#include "figure_run.hpp"

#include <numeric>
#include <utility>

#include "figure/axis.hpp"
#include "figure/color_scale.hpp"
#include "figure/figure_data.hpp"
#include "figure/heatmap_figure.hpp"
#include "figure/profile_data.hpp"
#include "figure/profile_figure.hpp"
#include "figure/row_order.hpp"
#include "figure/selection.hpp"
#include "matrix_file/matrix_file.hpp"
#include "output/sorted_regions.hpp"

namespace binscope {

namespace {

Status draw(const FigureInput& input, const FigureParams& params) {
    if (params.kind == FigureKind::heatmap)
        return draw_heatmap(input, params.style, params.color, params.profile, params.out_file_name, params.threads);
    return draw_profile(input, params.style, params.profile, params.out_file_name, params.threads);
}

// With --clusterOn clipped, each sample's colour limits, which the values
// are clipped to before clustering; otherwise none.
Result<std::vector<ColorLimits>> clustering_clip(const MatrixFile& file, const FigureParams& params) {
    if (params.row_order.cluster_on != ClusterOn::clipped) return std::vector<ColorLimits>{};
    FigureInput every_row;
    every_row.values = std::span<const float>(file.matrix.values.data(), file.matrix.values.size());
    every_row.cols = file.matrix.cols;
    every_row.row_order.resize(file.matrix.rows());
    std::iota(every_row.row_order.begin(), every_row.row_order.end(), std::size_t{0});
    every_row.sample_boundaries = file.header.sample_boundaries;
    every_row.sample_labels = file.header.sample_labels;
    return color_limits(every_row, params.color, params.threads);
}

// The rows' regions are read only when the figure uses them: for the
// sorted regions file and the sort by region length.
MatrixRegions regions_needed(const FigureParams& params) {
    const bool needed = params.out_file_sorted_regions || (params.row_order.sort != SortOrder::keep &&
                                                           params.row_order.sort_using == RowStatistic::region_length);
    return needed ? MatrixRegions::kept : MatrixRegions::checked;
}

Status write_profile_numbers(const FigureInput& input, const FigureParams& params) {
    auto lines = drawn_lines(input, params.profile, params.profile.per_group, params.threads);
    if (!lines) return fail(std::move(lines).error());
    return write_profile_data(*params.out_file_name_data, input, *lines, params.profile);
}

}  // namespace

Status run_figure(const FigureParams& params) {
    auto file = read_matrix_file(params.matrix_file, params.threads, regions_needed(params));
    if (!file) return fail(std::move(file.error()));
    if (auto ok = select_figure_data(*file, params.selection); !ok) return ok;
    if (auto ok = check_color_limits(params.color, file->header.sample_labels.size()); !ok) return ok;
    auto clip = clustering_clip(*file, params);
    if (!clip) return fail(std::move(clip.error()));
    auto order = order_rows(file->matrix, file->header.sample_boundaries, params.row_order, params.threads, *clip);
    if (!order) return fail(std::move(order.error()));
    auto input = make_figure_input(*file, std::move(*order), params.style, axis_ticks(file->header, params.style));
    if (!input) return fail(std::move(input.error()));

    if (auto drawn = draw(*input, params); !drawn) return drawn;
    if (params.out_file_name_data)
        if (auto written = write_profile_numbers(*input, params); !written) return written;
    if (params.out_file_sorted_regions)
        return write_sorted_regions(*params.out_file_sorted_regions, file->matrix, input->row_order,
                                    input->group_boundaries, input->group_labels);
    return {};
}

}  // namespace binscope
