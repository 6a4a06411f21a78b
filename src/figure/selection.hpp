// selection.hpp - a matrix file reduced to the samples and groups a figure
// draws, so that every later stage sees only those, in the order chosen.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "error.hpp"
#include "figure/figure_options.hpp"
#include "matrix_file/matrix_file.hpp"

namespace binscope {

// The 0-based indexes, in the order given, of the entries of `labels` that
// `chosen` names: an entry equal to a label is that label, otherwise a
// number from 1 to the count. Errors (`option` and `noun` name the things
// in them): a label two entries share, a value that is neither, a thing
// chosen twice.
Result<std::vector<std::size_t>> pick_labels(std::span<const std::string> chosen,
                                             std::span<const std::string> labels, std::string_view option,
                                             std::string_view noun);

// Reduces `file` in place to the chosen samples (their columns and every
// per-sample entry of the header) and groups (their rows), each in the
// order chosen; an empty choice keeps all. The values are moved within
// their own storage: the reduction takes no second copy of the matrix.
// Errors as pick_labels, for --samples and --groups.
Status select_figure_data(MatrixFile& file, const SelectionSettings& selection);

}  // namespace binscope
