// profile_stats.hpp - the average profile of a group of rows: per bin a
// mean or median, the count behind it and its spread.
#pragma once

#include <cstddef>
#include <vector>

#include "error.hpp"
#include "figure/figure_input.hpp"
#include "figure/figure_options.hpp"

namespace binscope {

// One line of a profile, one entry per bin. `center` is NaN and `spread`
// 0 where a bin has no value; `spread` is the standard deviation (n - 1
// in the denominator) or the standard error (that over the square root of
// n) around the mean, 0 with fewer than two values or without a band.
struct ProfileLine {
    std::vector<double> center;
    std::vector<double> spread;
    std::vector<std::size_t> count;
};

// The profile of drawn rows [row_begin, row_end) of `input` over columns
// [col_begin, col_end), missing values left out of every bin. Column
// blocks are spread over `threads` workers; the result does not depend on
// the thread count.
Result<ProfileLine> profile_line(const FigureInput& input, std::size_t row_begin, std::size_t row_end,
                                 std::size_t col_begin, std::size_t col_end, const ProfileSettings& settings,
                                 std::size_t threads);

}  // namespace binscope
