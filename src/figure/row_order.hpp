// row_order.hpp - the order in which a figure draws a matrix's rows: the
// matrix order, sorted within each group, or clustered by k-means.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "error.hpp"
#include "figure/color_scale.hpp"
#include "figure/figure_options.hpp"
#include "matrix/matrix.hpp"

namespace binscope {

struct RowOrder {
    std::vector<std::size_t> row_order;         // drawn row i shows matrix row row_order[i]
    std::vector<std::size_t> group_boundaries;  // in drawn rows: [0, ..., rows]
    std::vector<std::string> group_labels;      // one per drawn group
};

// The columns of the samples listed (0-based, in the order listed), or of
// every sample when none is; `sample_boundaries` is [0, ..., cols], and no
// column reaches `cols`. Errors name a sample the matrix lacks (numbered
// from 1, as the user gives it).
Result<std::vector<std::size_t>> sample_columns(std::span<const std::size_t> sample_boundaries,
                                                std::span<const std::size_t> samples, std::size_t cols);

// The drawn order of the matrix's rows. The groups are the matrix's
// non-empty ones (labels from its region set), or with k-means or
// hierarchical clustering the non-empty clusters, highest mean first,
// labelled cluster_1, cluster_2, ... With `clip` (one range per sample)
// the clustering sees each sample's values clipped to its range as it
// reads them (no copy); infinities clip too, missing values stay missing.
// Within a group or cluster the rows keep the matrix order unless a sort
// is asked for: by a statistic of the chosen samples' values (missing ones
// left out), rows without any value last, or by the region's length (end
// less start); equal rows in matrix order.
// Errors: a sample the matrix lacks, more clusters than rows, both
// clusterings at once, more rows than hierarchical clustering takes.
Result<RowOrder> order_rows(const Matrix& matrix, std::span<const std::size_t> sample_boundaries,
                            const RowOrderSettings& settings, std::size_t threads,
                            std::span<const ColorLimits> clip = {});

}  // namespace binscope
