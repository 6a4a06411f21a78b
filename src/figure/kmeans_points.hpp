// kmeans_points.hpp - the rows of a k-means point set as float64 points:
// missing values filled, copied a block of rows at a time, and their
// squared distances to centres.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "error.hpp"

namespace binscope {

// The rows to cluster: `values` is rows x cols, row-major; each row is the
// point made of the listed columns.
struct KmeansPoints {
    std::span<const float> values;
    std::size_t rows = 0;
    std::size_t cols = 0;
    std::span<const std::size_t> columns;  // each below cols
    // Optional, one pair per column listed: each value clipped to
    // [clip_low, clip_high] (infinities too; a missing value stays missing).
    std::span<const double> clip_low;
    std::span<const double> clip_high;

    bool clipped() const { return !clip_low.empty(); }
    // Value d of row r as the clustering sees it (clipped when asked).
    double value(std::size_t r, std::size_t d) const;
};

// Each dimension's fill value: the mean of its finite values (clipped
// ones when the points are clipped; 0 when it has none), summed per chunk of `chunk_rows` rows in row order and the
// chunks' sums added in chunk order, so the same at every thread count.
Result<std::vector<double>> column_fill(const KmeansPoints& points, std::size_t chunk_rows, std::size_t threads);

// Rows whose distances to a centre are computed side by side.
inline constexpr std::size_t kKmeansBlock = 8;

// Read access to the points of a KmeansPoints, every value a double and a
// value that is not a finite number replaced by its dimension's fill value.
class KmeansRows {
public:
    // `fill` holds one value per dimension (per chosen column).
    KmeansRows(const KmeansPoints& points, std::vector<double> fill);

    std::size_t dims() const { return dims_; }

    // Rows rows[0..count) (count at most kKmeansBlock) into `block`,
    // dims x kKmeansBlock: row i's value of dimension d at
    // block[d * kKmeansBlock + i]; lanes past count are 0.
    void gather_block(const std::size_t* rows, std::size_t count, double* block) const;

    // Row `row` into out[0..dims).
    void gather_row(std::size_t row, double* out) const;

    // Row `row` added to sums[0..dims), dimension by dimension: the same
    // sums as gather_row and adding; `scratch` has room for dims values.
    void add_row(std::size_t row, double* sums, double* scratch) const;

    // out[c * kKmeansBlock + i]: the squared distance of the block's row i
    // to centre c of the m centres (row-major, m x dims), summed in
    // dimension order: the same double as one row at a time would give.
    void block_distances(const double* block, const double* centres, std::size_t m, double* out) const;

private:
    const float* row_start(std::size_t row) const;
    // The clipped values of the row starting at `values` (row_start) to
    // out[d * stride], a missing one filled.
    void gather_clipped(const float* values, double* out, std::size_t stride) const;

    KmeansPoints points_;
    std::vector<double> fill_;
    std::size_t dims_;
    bool contiguous_;  // the chosen columns follow each other in the matrix
    bool clipped_;     // values clipped one at a time, not two
    bool wide_;        // the processor adds four doubles at once
    std::vector<float> zeros_;  // a row of zeros, the missing rows of a block when wide
};

}  // namespace binscope
