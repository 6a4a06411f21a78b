// figure_run.cpp - the pipeline of one `heatmap` or `profile` run, stage
// after stage: read the matrix file, order its rows, put the figure's data
// together, draw it, write the regions in drawn order.
#include "figure_run.hpp"

#include <utility>

#include "figure/axis.hpp"
#include "figure/figure_data.hpp"
#include "figure/heatmap_figure.hpp"
#include "figure/profile_figure.hpp"
#include "figure/row_order.hpp"
#include "matrix_file/matrix_file.hpp"
#include "output/sorted_regions.hpp"

namespace binscope {

namespace {

Status draw(const FigureInput& input, const FigureParams& params) {
    if (params.kind == FigureKind::heatmap)
        return draw_heatmap(input, params.style, params.color, params.profile, params.out_file_name, params.threads);
    return draw_profile(input, params.style, params.profile, params.out_file_name, params.threads);
}

}  // namespace

Status run_figure(const FigureParams& params) {
    auto file = read_matrix_file(params.matrix_file, params.threads);
    if (!file) return fail(std::move(file.error()));
    if (auto ok = check_color_limits(params.color, file->header.sample_labels.size()); !ok) return ok;
    auto order = order_rows(file->matrix, file->header.sample_boundaries, params.row_order, params.threads);
    if (!order) return fail(std::move(order.error()));
    auto input = make_figure_input(*file, std::move(*order), params.style, axis_ticks(file->header, params.style));
    if (!input) return fail(std::move(input.error()));

    if (auto drawn = draw(*input, params); !drawn) return drawn;
    if (params.out_file_sorted_regions)
        return write_sorted_regions(*params.out_file_sorted_regions, file->matrix, input->row_order,
                                    input->group_boundaries, input->group_labels);
    return {};
}

}  // namespace binscope
