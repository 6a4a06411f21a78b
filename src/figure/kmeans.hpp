// kmeans.hpp - deterministic k-means clustering of a matrix's rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "error.hpp"
#include "figure/kmeans_points.hpp"

namespace binscope {

// At most this many rounds of assignment; the clusters of the last round
// stand when they still change. Rounds stop earlier once no more than one
// row in 1,000 changes cluster (no row, below 1,000 rows).
inline constexpr std::size_t kKmeansMaxIterations = 100;

// The cluster (0 to k-1) of every row, by greedy k-means++ seeding from `seed`
// and Lloyd's rounds in float64. A value that is not a finite number
// counts as its column's mean over the rows where it is one (0 when no row
// has one). The result depends on the points, k and the seed only: not on
// the thread count, the machine or the standard library. A cluster may end
// empty when rows coincide. Errors: k of 0 or above the row count.
Result<std::vector<std::size_t>> kmeans_clusters(const KmeansPoints& points, std::size_t k, std::uint64_t seed,
                                                 std::size_t threads);

}  // namespace binscope
