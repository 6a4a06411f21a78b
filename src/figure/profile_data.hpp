// profile_data.hpp - the profile lines a figure draws, each naming the
// sample and group it averages, and the table of their numbers.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "error.hpp"
#include "figure/figure_input.hpp"
#include "figure/figure_options.hpp"
#include "figure/profile_stats.hpp"

namespace binscope {

// One drawn profile line: the mean or median of group `group`'s rows over
// sample `sample`'s bins.
struct DrawnLine {
    std::size_t sample = 0;
    std::size_t group = 0;
    ProfileLine line;
};

// The lines of a figure's profile panels in drawn order: a panel per
// sample with a line per group, or with `per_group` a panel per group with
// a line per sample. Computed on `threads` workers; the result does not
// depend on their number.
Result<std::vector<DrawnLine>> drawn_lines(const FigureInput& input, const ProfileSettings& settings, bool per_group,
                                           std::size_t threads);

// The 1-based bin each tick of a sample labels: the bin that starts at
// the tick (the last bin for a tick at the right edge).
std::vector<std::string> bin_labels(const std::vector<AxisTick>& ticks, std::size_t bins);

// Writes `lines` to `path` as a table separated by tabs: the header
// "sample group bin label value band count", then a line per drawn line
// and bin. Values are written in the shortest form that reads back to the
// same double; a bin without a value has empty value and band, and the
// band is empty without one. Tabs and line breaks in labels become spaces.
Status write_profile_data(const std::string& path, const FigureInput& input, const std::vector<DrawnLine>& lines,
                          const ProfileSettings& settings);

}  // namespace binscope
