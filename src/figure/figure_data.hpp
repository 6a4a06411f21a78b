// figure_data.hpp - the data a figure draws, put together from a matrix
// file, the drawn row order and the user's labels.
#pragma once

#include <cstddef>
#include <vector>

#include "error.hpp"
#include "figure/figure_input.hpp"
#include "figure/figure_options.hpp"
#include "figure/row_order.hpp"
#include "matrix_file/matrix_file.hpp"

namespace binscope {

// The figure's data: the file's values (borrowed: `file` must outlive the
// result) in the drawn order, its groups and samples, the user's labels
// in place of the header's or the clusters', and each sample's ticks.
// Errors: a count of labels or tick lists that is not one per group or
// sample.
Result<FigureInput> make_figure_input(const MatrixFile& file, RowOrder order, const FigureStyle& style,
                                      std::vector<std::vector<AxisTick>> ticks);

// The colour limits given are one for every sample or one per sample.
Status check_color_limits(const ColorSettings& color, std::size_t samples);

}  // namespace binscope
