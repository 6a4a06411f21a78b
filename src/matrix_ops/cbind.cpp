// cbind.cpp - the samples of several matrix files side by side, rows
// matched by group, region and occurrence, in the first file's order:
// streamed while the files' rows come in the same order, matched in memory
// otherwise.
#include <fmt/format.h>
#include <numeric>
#include <unordered_map>

#include "matrix/sort.hpp"
#include "matrix_file/matrix_file.hpp"
#include "matrix_ops/matrix_ops.hpp"
#include "matrix_ops/op_support.hpp"
#include "matrix_ops/row_plan.hpp"
#include "output/matrix.hpp"
#include "utf8.hpp"

namespace binscope {

namespace {

constexpr std::string_view kWhat = "Combining samples";
// The header keys that samples of one run may differ in; the per-sample
// arrays are compared by their one value.
const std::vector<std::string> kSampleKeys{"group_boundaries", "group_labels", "proc number", "verbose",
                                           "sample_labels", "sample_boundaries"};

std::string row_key(const Region& region, const std::vector<std::string>& group_labels) {
    return group_labels[region.group] + '\n' + region_key(region);
}

std::unexpected<OpError> missing_region(const Region& region, const std::string& group, const std::string& from,
                                        const std::string& in) {
    return file_error(fmt::format("{}: the region {} of group \"{}\" in {} is missing from {}", kWhat,
                                  region_shown(region), group, to_utf8_lossy(from), to_utf8_lossy(in)));
}

// The streamed path: every input read in step, a batch at a time.
class AlignedSource {
public:
    explicit AlignedSource(std::vector<MatrixRowStream> streams) : streams_(std::move(streams)) {}

    bool misaligned = false;

    Status fill(std::size_t count, Matrix& batch, std::size_t out_cols) {
        batch.cols = out_cols;
        batch.values.resize(count * out_cols);
        std::size_t offset = 0;
        for (std::size_t i = 0; i < streams_.size(); ++i) {
            auto& stream = streams_[i];
            values_.resize(count * stream.cols());
            regions_.clear();
            if (auto read = stream.read(count, values_.data(), regions_); !read) return read;
            for (std::size_t r = 0; r < count; ++r) {
                if (i == 0) {
                    batch.region_set.regions.push_back(regions_[r]);
                } else if (row_key(regions_[r], stream.header().group_labels) !=
                           row_key(batch.region_set.regions[r], streams_[0].header().group_labels)) {
                    misaligned = true;
                    return fail("the rows are not in the same order");
                }
                std::copy_n(values_.data() + r * stream.cols(), stream.cols(),
                            batch.values.data() + r * out_cols + offset);
            }
            offset += stream.cols();
        }
        batch.row_regions.resize(count);
        std::iota(batch.row_regions.begin(), batch.row_regions.end(), std::size_t{0});
        return {};
    }

private:
    std::vector<MatrixRowStream> streams_;
    std::vector<float> values_;
    std::vector<Region> regions_;
};

// The rows of `b` in the order of `a`'s rows, matched by key and occurrence.
OpResult<std::vector<std::size_t>> match_rows(const MatrixFile& a, const std::string& a_path, const MatrixFile& b,
                                              const std::string& b_path) {
    std::unordered_map<std::string, std::vector<std::size_t>> rows_of;
    for (std::size_t r = 0; r < b.matrix.rows(); ++r)
        rows_of[row_key(b.matrix.region(r), b.header.group_labels)].push_back(r);
    std::unordered_map<std::string, std::size_t> used;
    std::vector<std::size_t> order;
    order.reserve(a.matrix.rows());
    for (std::size_t r = 0; r < a.matrix.rows(); ++r) {
        const Region& region = a.matrix.region(r);
        const std::string key = row_key(region, a.header.group_labels);
        const auto found = rows_of.find(key);
        std::size_t& n = used[key];
        if (found == rows_of.end() || n >= found->second.size())
            return missing_region(region, a.header.group_labels[region.group], a_path, b_path);
        order.push_back(found->second[n++]);
    }
    for (std::size_t r = 0; r < b.matrix.rows(); ++r) {
        const std::string key = row_key(b.matrix.region(r), b.header.group_labels);
        const auto found = used.find(key);
        if (found == used.end() || found->second < rows_of[key].size())
            return missing_region(b.matrix.region(r), b.header.group_labels[b.matrix.region(r).group], b_path,
                                  a_path);
    }
    return order;
}

// The path in memory: rows matched whatever their order, then sorted
// again when the first file's header sorts.
OpStatus cbind_in_memory(const BindSettings& settings, Params params, const std::vector<std::string>& labels) {
    std::vector<MatrixFile> files;
    for (const std::string& path : settings.inputs) {
        auto file = read_matrix_file(path, settings.output.threads);
        if (!file) return file_error(std::move(file.error()));
        files.push_back(std::move(*file));
    }
    Matrix out;
    const Matrix& first = files[0].matrix;
    out.region_set = first.region_set;
    out.row_regions = first.row_regions;
    out.group_boundaries = first.group_boundaries;
    out.sample_labels = labels;
    std::vector<std::vector<std::size_t>> orders;
    for (std::size_t i = 0; i < files.size(); ++i) {
        auto order = match_rows(files[0], settings.inputs[0], files[i], settings.inputs[i]);
        if (!order) return std::unexpected(std::move(order.error()));
        out.cols += files[i].matrix.cols;
        orders.push_back(std::move(*order));
    }
    out.values.resize(first.rows() * out.cols);
    for (std::size_t r = 0; r < first.rows(); ++r) {
        float* row = out.values.data() + r * out.cols;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const Matrix& m = files[i].matrix;
            row = std::copy_n(m.row(orders[i][r]), m.cols, row);
        }
    }
    files.clear();
    out = sort_rows(std::move(out), parse_sort_regions(params.sortRegions), parse_sort_using(params.sortUsing));
    return write_whole(out, params, settings.output);
}

}  // namespace

OpStatus matrix_cbind(const BindSettings& settings) {
    if (settings.inputs.empty()) return usage_error("cbind needs at least one matrix file (-m)");
    std::vector<MatrixRowStream> streams;
    std::vector<std::string> labels;
    std::size_t cols = 0;
    for (const std::string& path : settings.inputs) {
        auto stream = MatrixRowStream::open(path);
        if (!stream) return file_error(std::move(stream.error()));
        if (auto refused = refuse_row_filter(stream->header(), path, kWhat); !refused) return refused;
        if (!streams.empty())
            if (auto same = compare_headers(streams[0].header(), settings.inputs[0], stream->header(), path,
                                            kSampleKeys, true, kWhat);
                !same)
                return same;
        labels.insert(labels.end(), stream->header().sample_labels.begin(), stream->header().sample_labels.end());
        cols += stream->cols();
        streams.push_back(std::move(*stream));
    }
    auto params = output_params(streams[0].header(), settings.inputs[0], settings.output);
    if (!params) return std::unexpected(std::move(params.error()));
    const bool same_rows = std::all_of(streams.begin(), streams.end(), [&](const MatrixRowStream& s) {
        return s.header().group_boundaries == streams[0].header().group_boundaries &&
               s.header().group_labels == streams[0].header().group_labels;
    });
    if (!same_rows || header_sorts(*params)) {
        streams.clear();
        return cbind_in_memory(settings, *params, labels);
    }
    const MatrixHeader first = streams[0].header();
    StreamedMatrix layout{matrix_header_line(RowGroups{first.group_boundaries, first.group_labels}, labels, *params),
                          first.group_boundaries.back(), cols};
    AlignedSource source(std::move(streams));
    auto written = write_streamed(layout, settings.output, [&](std::size_t begin, std::size_t end, Matrix& batch) {
        return source.fill(end - begin, batch, cols);
    });
    if (written || !source.misaligned) return written;
    return cbind_in_memory(settings, *params, labels);
}

}  // namespace binscope
