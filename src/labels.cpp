// labels.cpp - group labels of the final rows and sample labels.
#include "labels.hpp"

#include <fmt/format.h>

#include "text_input_path.hpp"
#include "utf8.hpp"

namespace binscope {

std::vector<std::string> group_labels(const std::vector<std::size_t>& row_groups,
                                      const std::vector<std::string>& group_names) {
    std::vector<std::string> labels;
    for (std::size_t i = 0; i < row_groups.size(); ++i) {
        if (i > 0 && row_groups[i] == row_groups[i - 1]) continue;
        const std::size_t group = row_groups[i];
        labels.push_back(group < group_names.size() ? group_names[group] : fmt::format("group_{}", group));
    }
    return labels;
}

std::vector<std::string> label_samples(const std::vector<std::string>& paths,
                                       const std::optional<std::vector<std::string>>& samples_label) {
    if (samples_label && samples_label->size() == paths.size()) return *samples_label;
    std::vector<std::string> labels;
    labels.reserve(paths.size());
    for (const std::string& path : paths) {
        const auto name = is_url(path) ? url_file_name(path) : path_file_name(path);
        labels.push_back(name ? to_utf8_lossy(file_stem(*name)) : std::string("sample"));
    }
    return labels;
}

}  // namespace binscope
