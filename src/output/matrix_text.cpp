// matrix_text.cpp - header and row lines of the gzipped matrix file.
#include "output/matrix_text.hpp"

#include <cmath>
#include <limits>
#include <map>

#include "labels.hpp"
#include "output/number_format.hpp"
#include "output/text_fields.hpp"

namespace binscope {

namespace {

std::string int_text(std::int64_t value) {
    char buf[kNumberTextMax];
    return std::string(buf, write_int(buf, value));
}

std::string string_text(std::string_view text) {
    std::string out;
    append_json_string(out, text);
    return out;
}

template <class T, class F>
std::string array_text(const std::vector<T>& items, F&& item_text) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += ',';
        out += item_text(items[i]);
    }
    out += ']';
    return out;
}

// The same run-wide integer once per sample.
std::string repeated_int(std::size_t n, std::int64_t value) {
    return array_text(std::vector<std::int64_t>(n, value), int_text);
}

std::string optional_number(const std::optional<double>& value) {
    return value ? json_number(*value) : "null";
}

const char* bool_text(bool value) { return value ? "true" : "false"; }

}  // namespace

std::string matrix_header_line(const Matrix& matrix, const std::vector<std::string>& sample_labels,
                               const Params& params) {
    return matrix_header_line(RowGroups{matrix.group_boundaries, group_labels(matrix.row_groups(), matrix.region_set.groups)},
                              sample_labels, params);
}

std::string matrix_header_line(const RowGroups& groups, const std::vector<std::string>& sample_labels,
                               const Params& params) {
    const std::size_t n = sample_labels.size();
    const std::int64_t bins = bins_per_sample(params);

    std::vector<std::int64_t> sample_boundaries;
    for (std::size_t k = 0; k <= n; ++k) sample_boundaries.push_back(static_cast<std::int64_t>(k) * bins);

    const std::string ref_point =
        params.referencePoint ? string_text(ref_point_name(*params.referencePoint)) : std::string("null");
    std::vector<std::string> ref_points(n, ref_point);

    // Keyed by text so that the object comes out in byte order of its keys.
    std::map<std::string, std::string> object;
    object["bin avg type"] = string_text(average_type_name(params.averageTypeBins));
    object["bin size"] = repeated_int(n, params.binSize);
    object["body"] = repeated_int(n, params.regionBodyLength);
    object["downstream"] = repeated_int(n, params.afterRegionStartLength);
    object["group_boundaries"] = array_text(groups.boundaries, [](std::size_t b) {
        return int_text(static_cast<std::int64_t>(b));
    });
    object["group_labels"] = array_text(groups.labels, string_text);
    object["max threshold"] = optional_number(params.maxThreshold);
    object["min threshold"] = optional_number(params.minThreshold);
    object["missing data as zero"] = bool_text(params.missingDataAsZero);
    object["nan after end"] = bool_text(params.nanAfterEnd);
    object["proc number"] = int_text(static_cast<std::int64_t>(params.numberOfProcessors));
    object["ref point"] = array_text(ref_points, [](const std::string& s) { return s; });
    object["sample_boundaries"] = array_text(sample_boundaries, int_text);
    object["sample_labels"] = array_text(sample_labels, string_text);
    object["scale"] = json_number(params.scale);
    object["skip zeros"] = bool_text(params.skipZeros);
    object["sort regions"] = string_text(params.sortRegions);
    object["sort using"] = string_text(params.sortUsing);
    object["unscaled 3 prime"] = repeated_int(n, params.unscaled3prime);
    object["unscaled 5 prime"] = repeated_int(n, params.unscaled5prime);
    object["upstream"] = repeated_int(n, params.beforeRegionStartLength);
    object["verbose"] = bool_text(params.verbose);

    std::string line = "@{";
    bool first = true;
    for (const auto& [key, value] : object) {
        if (!first) line += ',';
        first = false;
        append_json_string(line, key);
        line += ':';
        line += value;
    }
    line += "}\n";
    return line;
}

float row_score(const float* values, std::size_t count) {
    const auto mean = mean_of_numbers({values, count});
    return mean ? static_cast<float>(*mean) : std::numeric_limits<float>::quiet_NaN();
}

void append_matrix_rows(TextBuffer& out, const Matrix& matrix, std::size_t begin, std::size_t end) {
    const std::size_t cols = matrix.cols;
    for (std::size_t r = begin; r < end; ++r) {
        const Region& region = matrix.region(r);
        const float* values = matrix.row(r);

        out.append(region.chrom);
        out.append('\t');
        append_block_list(out, region.blocks, [](const Block& b) { return b.start; });
        out.append('\t');
        append_block_list(out, region.blocks, [](const Block& b) { return b.end; });
        out.append('\t');
        out.append(region.name);
        out.append('\t');
        char* p = out.reserve(kNumberTextMax);
        out.commit(write_float_shortest(p, row_score(values, cols)));
        out.append('\t');
        out.append(strand_char(region.strand));

        // One reservation per row keeps the per-value work to the conversion.
        p = out.reserve(cols * (kNumberTextMax + 1) + 1);
        for (std::size_t c = 0; c < cols; ++c) {
            *p++ = '\t';
            p = write_float_shortest(p, values[c]);
        }
        *p++ = '\n';
        out.commit(p);
    }
}

}  // namespace binscope
