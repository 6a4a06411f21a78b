// labels.hpp - group labels of the final rows and sample labels.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace binscope {

// One label per run of consecutive rows with the same group index.
std::vector<std::string> group_labels(const std::vector<std::size_t>& row_groups,
                                      const std::vector<std::string>& group_names);

// samplesLabel when its count matches the files, else the file stems.
std::vector<std::string> label_samples(const std::vector<std::string>& paths,
                                       const std::optional<std::vector<std::string>>& samples_label);

}  // namespace binscope
