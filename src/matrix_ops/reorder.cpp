// reorder.cpp - the rows of a matrix file in a new order: sorted within
// their groups by a statistic, in the order of region files, or in the
// order and groups of a sorted-regions file.
#include <fmt/format.h>
#include <unordered_map>

#include "bed_reader.hpp"
#include "figure/row_order.hpp"
#include "matrix/sort.hpp"
#include "matrix_file/matrix_file.hpp"
#include "matrix_ops/matrix_ops.hpp"
#include "matrix_ops/op_support.hpp"
#include "text_input.hpp"
#include "utf8.hpp"

namespace binscope {

namespace {

// Positions of each region in the files, in order: a region listed twice
// has two, taken by its first and second rows.
using Positions = std::unordered_map<std::string, std::vector<std::size_t>>;

OpResult<RegionSet> regions_of(const std::vector<std::string>& paths, bool metagene, std::size_t threads) {
    auto set = read_regions(paths, metagene, threads);
    if (!set) return file_error(std::move(set.error()));
    return std::move(*set);
}

std::string files_shown(const std::vector<std::string>& paths) {
    std::string out;
    for (const std::string& p : paths) {
        if (!out.empty()) out += ' ';
        out += to_utf8_lossy(p);
    }
    return out;
}

// The position of every row's region in the files (plain or BED12 reading).
OpResult<std::vector<double>> file_positions(const Matrix& m, const std::vector<std::string>& paths,
                                             std::size_t threads) {
    Positions positions;
    for (const bool metagene : {false, true}) {
        auto set = regions_of(paths, metagene, threads);
        if (!set) return std::unexpected(std::move(set.error()));
        Positions these;
        for (std::size_t i = 0; i < set->regions.size(); ++i) these[region_key(set->regions[i])].push_back(i);
        for (auto& [key, list] : these)
            if (!positions.contains(key)) positions[key] = std::move(list);
    }
    std::unordered_map<std::string, std::size_t> used;
    std::vector<double> keys(m.rows());
    for (std::size_t r = 0; r < m.rows(); ++r) {
        const std::string key = region_key(m.region(r));
        const auto found = positions.find(key);
        std::size_t& n = used[key];
        if (found == positions.end() || n >= found->second.size())
            return file_error(fmt::format("Ordering rows: the region {} is not in {}", region_shown(m.region(r)),
                                          files_shown(paths)));
        keys[r] = static_cast<double>(found->second[n++]);
    }
    return keys;
}

// The 13th column of every data line of a sorted-regions file.
OpResult<std::vector<std::string>> group_column(const std::string& path) {
    std::vector<std::string> labels;
    const LineErrors errors{fmt::format("Opening {}", path), fmt::format("Reading {}", path)};
    auto read = for_each_line(path, errors, [&](std::string_view line, std::size_t) -> Status {
        if (line.empty() || line.starts_with('#')) return {};
        std::size_t at = 0;
        for (int field = 0; field < 12 && at != std::string_view::npos; ++field) {
            at = line.find('\t', at);
            if (at != std::string_view::npos) ++at;
        }
        labels.emplace_back(at == std::string_view::npos ? std::string_view() : line.substr(at));
        return {};
    });
    if (!read) return file_error(std::move(read.error()));
    return labels;
}

// The rows in the order and groups of a sorted-regions file.
OpResult<Matrix> regroup(Matrix m, const std::string& path, std::size_t threads) {
    auto set = regions_of({path}, true, threads);
    if (!set) return std::unexpected(std::move(set.error()));
    auto labels = group_column(path);
    if (!labels) return std::unexpected(std::move(labels.error()));
    if (labels->size() != set->regions.size())
        return file_error(fmt::format("Ordering rows: {} is no sorted-regions file: {} regions, {} lines with a group",
                                      to_utf8_lossy(path), set->regions.size(), labels->size()));
    Positions rows_of;
    for (std::size_t r = 0; r < m.rows(); ++r) rows_of[region_key(m.region(r))].push_back(r);
    std::vector<std::string> names;
    std::vector<std::vector<std::size_t>> members;  // per group, the matrix rows in file order
    std::unordered_map<std::string, std::size_t> used;
    for (std::size_t i = 0; i < set->regions.size(); ++i) {
        const std::string key = region_key(set->regions[i]);
        const auto found = rows_of.find(key);
        std::size_t& n = used[key];
        if (found == rows_of.end() || n >= found->second.size())
            return file_error(fmt::format("Ordering rows: the region {} of {} is not in the matrix",
                                          region_shown(set->regions[i]), to_utf8_lossy(path)));
        const auto g = std::find(names.begin(), names.end(), (*labels)[i]) - names.begin();
        if (static_cast<std::size_t>(g) == names.size()) {
            names.push_back((*labels)[i]);
            members.emplace_back();
        }
        members[static_cast<std::size_t>(g)].push_back(found->second[n++]);
    }
    std::vector<std::size_t> order;
    for (std::size_t g = 0; g < members.size(); ++g)
        for (const std::size_t r : members[g]) {
            order.push_back(r);
            m.region_set.regions[m.row_regions[r]].group = static_cast<GroupIndex>(g);
        }
    if (order.size() != m.rows())
        for (std::size_t r = 0; r < m.rows(); ++r)
            if (used[region_key(m.region(r))] < rows_of[region_key(m.region(r))].size())
                return file_error(fmt::format("Ordering rows: the region {} of the matrix is not in {}",
                                              region_shown(m.region(r)), to_utf8_lossy(path)));
    m.select_rows(order);
    m.region_set.groups = std::move(names);
    m.group_boundaries = compute_group_boundaries(m);
    return m;
}

}  // namespace

OpStatus matrix_sort(const SortSettings& s) {
    const int modes = int{s.sort_regions.has_value()} + int{!s.regions_files.empty()} + int{s.sorted_regions.has_value()};
    if (modes != 1)
        return usage_error("sort takes exactly one of --sortRegions, --regionsFileName and --sortedRegions");
    auto file = read_matrix_file(s.input, s.output.threads);
    if (!file) return file_error(std::move(file.error()));
    auto params = output_params(file->header, s.input, s.output);
    if (!params) return std::unexpected(std::move(params.error()));
    Matrix m = std::move(file->matrix);
    if (s.sort_regions) {
        std::vector<std::size_t> samples;
        for (const std::size_t n : s.sort_using_samples) samples.push_back(n - 1);
        auto columns = sample_columns(file->header.sample_boundaries, samples, m.cols);
        if (!columns) return usage_error(columns.error().message());
        if (samples.empty()) columns->clear();
        params->sortRegions = *s.sort_regions;
        params->sortUsing = s.sort_using;
        m = sort_rows(std::move(m), parse_sort_regions(*s.sort_regions), parse_sort_using(s.sort_using), *columns);
    } else if (!s.regions_files.empty()) {
        auto keys = file_positions(m, s.regions_files, s.output.threads);
        if (!keys) return std::unexpected(std::move(keys.error()));
        params->sortRegions = "keep";
        m = sort_rows_by_keys(std::move(m), *keys, false);
    } else {
        auto regrouped = regroup(std::move(m), *s.sorted_regions, s.output.threads);
        if (!regrouped) return std::unexpected(std::move(regrouped.error()));
        params->sortRegions = "keep";
        m = std::move(*regrouped);
    }
    return write_whole(m, *params, s.output);
}

}  // namespace binscope
