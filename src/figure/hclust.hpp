// hclust.hpp - deterministic hierarchical clustering (average linkage) of
// a matrix's rows, cut into a given number of clusters.
#pragma once

#include <cstddef>
#include <vector>

#include "error.hpp"
#include "figure/kmeans_points.hpp"

namespace binscope {

// Hierarchical clustering keeps the distance of every pair of rows, 4
// bytes each: up to this many rows that is at most 72 MB, which with the
// rest of a figure run stays within the matrix's values plus 100 MB.
inline constexpr std::size_t kHclustMaxRows = 6000;

// The cluster (0 to k-1, numbered by their first rows) of every row, from
// average linkage on the Euclidean distances between rows (a value that is
// not a finite number counts as its column's mean, as in k-means), the
// tree cut where k clusters remain. Ties go to the clusters whose first
// rows come first. The result does not depend on the thread count.
// Errors: k of 0 or above the row count, more rows than kHclustMaxRows.
Result<std::vector<std::size_t>> hclust_clusters(const KmeansPoints& points, std::size_t k, std::size_t threads);

}  // namespace binscope
