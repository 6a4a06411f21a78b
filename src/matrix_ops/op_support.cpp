// op_support.cpp - errors, output parameters, pending outputs and the
// naming of rows and labels for the matrix operations.
#include "matrix_ops/op_support.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fmt/format.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include "labels.hpp"
#include "matrix_ops/header_params.hpp"
#include "output/matrix.hpp"
#include "progress.hpp"
#include "utf8.hpp"

namespace binscope {

std::unexpected<OpError> usage_error(std::string message) {
    return std::unexpected(OpError{Error(std::move(message)), true});
}
std::unexpected<OpError> file_error(Error error) { return std::unexpected(OpError{std::move(error), false}); }
std::unexpected<OpError> file_error(std::string message) { return file_error(Error(std::move(message))); }

OpResult<Params> output_params(const MatrixHeader& header, const std::string& path, const OpOutput& output) {
    auto params = params_from_header(header.json);
    if (!params)
        return file_error(Error(params.error().message())
                              .context(fmt::format("The header of {} cannot be written back", to_utf8_lossy(path))));
    params->quiet = output.quiet;
    params->outFileName = output.path;
    return std::move(*params);
}

namespace {

// "dir/.name.<pid>.tmp" for "dir/name": on the same file system, so the
// rename is atomic.
std::string temp_beside(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return fmt::format("{}.{}.{}.tmp", dir, name, static_cast<long>(::getpid()));
}

}  // namespace

PendingOutput::PendingOutput(const std::string& path) : path_(path), temp_(temp_beside(path)) {}

PendingOutput::~PendingOutput() {
    if (!committed_) std::remove(temp_.c_str());
}

Status PendingOutput::commit() {
    if (std::rename(temp_.c_str(), path_.c_str()) != 0)
        return fail(Error::from_errno(errno).context(fmt::format("Renaming {} to {}", temp_, path_)));
    committed_ = true;
    return {};
}

void report_written(const OpOutput& output, std::size_t rows) {
    progress(output.quiet, fmt::format("Wrote {} ({} rows)", output.path, rows));
}

void warn(std::string_view text) { write_stderr(fmt::format("[binscope] Warning: {}\n", text)); }

OpStatus write_whole(const Matrix& matrix, const Params& params, const OpOutput& output) {
    const RowGroups groups{matrix.group_boundaries, group_labels(matrix.row_groups(), matrix.region_set.groups)};
    const StreamedMatrix layout{matrix_header_line(groups, matrix.sample_labels, params), matrix.rows(), matrix.cols};
    // The rows handed to the writer a batch at a time, as a streamed
    // output's are: the threads format and compress, the header keeps the
    // input's thread count.
    return write_streamed(layout, output, [&](std::size_t begin, std::size_t end, Matrix& batch) {
        batch.cols = matrix.cols;
        batch.values.assign(matrix.row(begin), matrix.row(begin) + (end - begin) * matrix.cols);
        for (std::size_t r = begin; r < end; ++r) {
            batch.region_set.regions.push_back(matrix.region(r));
            batch.row_regions.push_back(r - begin);
        }
        return Status();
    });
}

OpStatus write_streamed(const StreamedMatrix& layout, const OpOutput& output, const RowBatchSource& source) {
    PendingOutput pending(output.path);
    if (auto written = write_matrix_stream(pending.temp_path(), layout, output.threads, output.quiet, source); !written)
        return file_error(std::move(written.error()));
    if (auto committed = pending.commit(); !committed) return file_error(std::move(committed.error()));
    report_written(output, layout.rows);
    return {};
}

void GroupRunBuilder::add(std::size_t count, const std::string& label, std::size_t group_id) {
    if (count == 0) return;
    if (group_id != last_id_ || groups.labels.empty()) {
        groups.labels.push_back(label);
        groups.boundaries.push_back(groups.boundaries.back() + count);
    } else {
        groups.boundaries.back() += count;
    }
    last_id_ = group_id;
}

RowGroups GroupRunBuilder::finish() {
    if (groups.boundaries.size() == 1) groups.boundaries.push_back(0);
    return std::move(groups);
}

namespace {

template <class Field>
std::string block_list(const Region& region, Field field) {
    std::string out;
    for (const Block& b : region.blocks) {
        if (!out.empty()) out += ',';
        out += fmt::format("{}", field(b));
    }
    return out;
}

}  // namespace

std::string region_key(const Region& region) {
    return fmt::format("{}\t{}\t{}\t{}\t{}", region.chrom.view(),
                       block_list(region, [](const Block& b) { return b.start; }),
                       block_list(region, [](const Block& b) { return b.end; }), region.name.view(),
                       static_cast<char>(region.strand));
}

std::string region_shown(const Region& region) {
    return fmt::format("{}:{}-{} {} ({})", region.chrom.view(), region.start(), region.end(), region.name.view(),
                       static_cast<char>(region.strand));
}

OpResult<std::vector<std::size_t>> select_labels(const std::vector<std::string>& values,
                                                 const std::vector<std::string>& labels, std::string_view option) {
    std::vector<std::size_t> chosen;
    for (const std::string& value : values) {
        std::vector<std::size_t> same;
        for (std::size_t i = 0; i < labels.size(); ++i)
            if (labels[i] == value) same.push_back(i);
        if (same.size() > 1)
            return usage_error(fmt::format("{} {}: the label is shared by {} and {}: give its number instead", option,
                                           value, same[0] + 1, same[1] + 1));
        if (same.size() == 1) {
            chosen.push_back(same[0]);
            continue;
        }
        std::size_t number = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (ec != std::errc() || end != value.data() + value.size() || number < 1 || number > labels.size())
            return usage_error(fmt::format("{} {}: no label is {}, and it is no number from 1 to {}", option, value,
                                           value, labels.size()));
        chosen.push_back(number - 1);
    }
    return chosen;
}

OpStatus refuse_row_filter(const MatrixHeader& header, const std::string& path, std::string_view what) {
    const auto object = nlohmann::json::parse(header.json, nullptr, false);
    for (const char* key : {"skip zeros", "min threshold", "max threshold"}) {
        const auto found = object.find(key);
        if (found == object.end() || found->is_null() || *found == false) continue;
        return file_error(fmt::format("{}: {} records a row filter (\"{}\": {}): the rows it dropped depend on "
                                      "every sample",
                                      what, to_utf8_lossy(path), key, found->dump()));
    }
    return {};
}

namespace {

// The value shown for `key`: the first entry of a per-sample array when
// the samples are compared once each.
nlohmann::json compared_value(const nlohmann::json& object, const std::string& key, bool per_sample_once) {
    static const std::vector<std::string> per_sample{"bin size", "body", "downstream", "ref point",
                                                     "unscaled 3 prime", "unscaled 5 prime", "upstream"};
    const auto found = object.find(key);
    if (found == object.end()) return nlohmann::json();
    if (per_sample_once && found->is_array() && !found->empty() &&
        std::find(per_sample.begin(), per_sample.end(), key) != per_sample.end())
        return found->front();
    return *found;
}

}  // namespace

OpStatus compare_headers(const MatrixHeader& a, const std::string& a_path, const MatrixHeader& b,
                         const std::string& b_path, const std::vector<std::string>& ignored, bool per_sample_once,
                         std::string_view what) {
    const auto ja = nlohmann::json::parse(a.json, nullptr, false);
    const auto jb = nlohmann::json::parse(b.json, nullptr, false);
    std::vector<std::string> keys;
    for (const auto& object : {ja, jb})
        for (const auto& item : object.items()) keys.push_back(item.key());
    // The labels first and the boundaries last: the lengths and labels
    // explain a difference of the boundaries.
    const auto rank = [](const std::string& key) { return key == "sample_labels" ? 0 : key == "sample_boundaries" ? 2 : 1; };
    std::sort(keys.begin(), keys.end(), [&](const std::string& x, const std::string& y) {
        return std::pair(rank(x), std::string_view(x)) < std::pair(rank(y), std::string_view(y));
    });
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    for (const std::string& key : keys) {
        if (std::find(ignored.begin(), ignored.end(), key) != ignored.end()) continue;
        const auto va = compared_value(ja, key, per_sample_once);
        const auto vb = compared_value(jb, key, per_sample_once);
        if (va == vb) continue;
        return file_error(fmt::format("{}: the inputs differ in \"{}\": {} in {}, {} in {}", what, key,
                                      va.is_null() && !ja.contains(key) ? "nothing" : va.dump(), to_utf8_lossy(a_path),
                                      vb.is_null() && !jb.contains(key) ? "nothing" : vb.dump(),
                                      to_utf8_lossy(b_path)));
    }
    return {};
}

bool header_sorts(const Params& params) {
    const SortRegions order = parse_sort_regions(params.sortRegions);
    return order == SortRegions::Ascend || order == SortRegions::Descend;
}

}  // namespace binscope
