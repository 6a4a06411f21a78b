// selection.cpp - the samples and groups a figure draws, picked by label
// or number, and the matrix cut down to them in place.
#include "figure/selection.hpp"

#include <algorithm>
#include <charconv>
#include <fmt/format.h>

namespace binscope {

namespace {

// `text` as a number from 1 to `count`, or 0.
std::size_t number_in_range(std::string_view text, std::size_t count) {
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number > count) return 0;
    return number;
}

// Every per-sample entry of a header list in the chosen order; a list of
// another length (absent from the file) stays as it is.
template <class T>
void reorder(std::vector<T>& list, std::span<const std::size_t> picks, std::size_t count) {
    if (list.size() != count) return;
    std::vector<T> picked;
    picked.reserve(picks.size());
    for (const std::size_t i : picks) picked.push_back(list[i]);
    list = std::move(picked);
}

// The chosen samples' columns of every row, moved towards the front of
// the values: a row's new place never starts past its old one, and a
// row is copied aside before it is written.
void keep_columns(Matrix& matrix, std::span<const std::size_t> bounds, std::span<const std::size_t> samples) {
    std::vector<std::size_t> columns;
    for (const std::size_t s : samples)
        for (std::size_t c = bounds[s]; c < bounds[s + 1]; ++c) columns.push_back(c);
    std::vector<float> row(columns.size());
    for (std::size_t r = 0; r < matrix.rows(); ++r) {
        const float* from = matrix.row(r);
        for (std::size_t i = 0; i < columns.size(); ++i) row[i] = from[columns[i]];
        std::copy(row.begin(), row.end(), matrix.values.begin() + static_cast<std::ptrdiff_t>(r * columns.size()));
    }
    matrix.values.resize(matrix.rows() * columns.size());
    matrix.cols = columns.size();
}

void select_samples(MatrixFile& file, std::span<const std::size_t> picks) {
    MatrixHeader& header = file.header;
    const std::size_t count = header.sample_labels.size();
    keep_columns(file.matrix, header.sample_boundaries, picks);
    std::vector<std::size_t> bounds{0};
    for (const std::size_t s : picks)
        bounds.push_back(bounds.back() + header.sample_boundaries[s + 1] - header.sample_boundaries[s]);
    header.sample_boundaries = std::move(bounds);
    for (auto* list : {&header.upstream, &header.downstream, &header.body, &header.bin_size,
                       &header.unscaled_5_prime, &header.unscaled_3_prime})
        reorder(*list, picks, count);
    reorder(header.ref_point, picks, count);
    reorder(file.matrix.sample_labels, picks, count);
    reorder(header.sample_labels, picks, count);
}

// The chosen groups' rows, in the chosen order; group i of the result is
// group i of the region set (and of every kept region's group index).
void select_groups(MatrixFile& file, std::span<const std::size_t> picks) {
    Matrix& matrix = file.matrix;
    const std::vector<std::size_t>& old = matrix.group_boundaries;
    std::vector<std::size_t> rows, bounds{0};
    for (const std::size_t g : picks) {
        for (std::size_t r = old[g]; r < old[g + 1]; ++r) rows.push_back(r);
        bounds.push_back(rows.size());
    }
    matrix.select_rows(rows);
    for (std::size_t g = 0; g + 1 < bounds.size() && !matrix.region_set.regions.empty(); ++g)
        for (std::size_t r = bounds[g]; r < bounds[g + 1]; ++r)
            matrix.region_set.regions[matrix.row_regions[r]].group = static_cast<GroupIndex>(g);
    matrix.group_boundaries = bounds;
    file.header.group_boundaries = std::move(bounds);
    reorder(file.header.group_labels, picks, file.header.group_labels.size());
    matrix.region_set.groups = file.header.group_labels;
}

}  // namespace

Result<std::vector<std::size_t>> pick_labels(std::span<const std::string> chosen,
                                             std::span<const std::string> labels, std::string_view option,
                                             std::string_view noun) {
    std::vector<std::size_t> picks;
    for (const std::string& value : chosen) {
        const auto first = std::find(labels.begin(), labels.end(), value);
        std::size_t pick = static_cast<std::size_t>(first - labels.begin());
        if (first != labels.end()) {
            const auto second = std::find(first + 1, labels.end(), value);
            if (second != labels.end())
                return fail(fmt::format("Invalid {}: \"{}\" is the label of {}s {} and {}; choose by number", option,
                                        value, noun, pick + 1, second - labels.begin() + 1));
        } else if (const std::size_t number = number_in_range(value, labels.size()); number > 0) {
            pick = number - 1;
        } else {
            return fail(fmt::format("Invalid {}: \"{}\" is neither a {} label nor a number from 1 to {}", option,
                                    value, noun, labels.size()));
        }
        if (std::find(picks.begin(), picks.end(), pick) != picks.end())
            return fail(fmt::format("Invalid {}: {} {} (\"{}\") is chosen twice", option, noun, pick + 1,
                                    labels[pick]));
        picks.push_back(pick);
    }
    return picks;
}

Status select_figure_data(MatrixFile& file, const SelectionSettings& selection) {
    if (!selection.samples.empty()) {
        auto picks = pick_labels(selection.samples, file.header.sample_labels, "--samples", "sample");
        if (!picks) return fail(std::move(picks).error());
        select_samples(file, *picks);
    }
    if (!selection.groups.empty()) {
        auto picks = pick_labels(selection.groups, file.header.group_labels, "--groups", "group");
        if (!picks) return fail(std::move(picks).error());
        if (file.matrix.group_boundaries.size() != file.header.group_labels.size() + 1)
            return fail("Invalid --groups: the matrix's groups do not match its header");
        select_groups(file, *picks);
    }
    return {};
}

}  // namespace binscope
