// matrix.hpp - the score matrix: one flat row-major array of 32-bit floats
// with the regions its rows show and the group and sample headings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "region.hpp"

namespace binscope {

// An allocator that leaves new elements uninitialised instead of zeroing
// them. Every cell of a matrix is written by the worker that computes its
// row, so its pages are first touched there, in parallel, rather than
// zero-filled up front on one thread.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <class U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}

    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        std::construct_at(p, std::forward<Args>(args)...);
    }
};

using MatrixValues = std::vector<float, UninitializedAllocator<float>>;

struct Matrix {
    MatrixValues values;  // rows x cols, row-major
    std::size_t cols = 0;
    // The run's regions, each held once whatever becomes of its row, and
    // the group names they refer to. A matrix file read with its regions
    // only checked holds the group names alone: region() is then not to
    // be called.
    RegionSet region_set;
    std::vector<std::size_t> row_regions;  // row r shows region_set.regions[row_regions[r]]
    std::vector<std::size_t> group_boundaries{0, 0};
    std::vector<std::string> sample_labels;
    std::size_t no_data_rows = 0;

    std::size_t rows() const { return row_regions.size(); }
    const float* row(std::size_t r) const { return values.data() + r * cols; }
    const Region& region(std::size_t r) const { return region_set.regions[row_regions[r]]; }
    // The group index of every row, in row order.
    std::vector<std::size_t> row_groups() const;

    // Keeps the rows listed, in the order listed (each row at most once),
    // values and regions alike; group boundaries are left to the caller.
    void select_rows(std::span<const std::size_t> order);
};

// The mean, summed in double precision, of the values that are numbers;
// nothing when none is.
std::optional<double> mean_of_numbers(std::span<const float> values);

// [0, i1, ..., rows]: each inner entry is the first row of a new group.
std::vector<std::size_t> compute_group_boundaries(const Matrix& matrix);

}  // namespace binscope
