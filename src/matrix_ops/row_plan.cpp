// row_plan.cpp - runs of input rows streamed into one output file.
#include "matrix_ops/row_plan.hpp"

#include <algorithm>
#include <numeric>

#include "matrix_ops/op_support.hpp"
#include "output/matrix.hpp"

namespace binscope {

namespace {

// Rows read at a time when every planned row is kept.
constexpr std::size_t kReadBatch = 256;

// Hands the writer its batches: walks the runs, reads each planned row and
// keeps those the plan keeps, with the plan's columns.
class PlanSource {
public:
    explicit PlanSource(const RowPlan& plan) : plan_(plan), streams_(plan.inputs) {}

    Status fill(std::size_t count, Matrix& batch, std::size_t out_cols) {
        batch.values.resize(count * out_cols);
        batch.cols = out_cols;
        batch.region_set.regions.reserve(count);
        std::size_t filled = 0;
        while (filled < count) {
            if (run_ == plan_.runs.size()) return fail("the planned rows ended early");
            const RowRun& run = plan_.runs[run_];
            if (at_ == run.end || run.begin >= run.end) {
                next_run();
                continue;
            }
            auto stream = streams_.at(run.input, at_);
            if (!stream) return fail(std::move(stream.error()));
            if (auto read = take(**stream, run, count - filled, batch, out_cols, filled); !read) return read;
        }
        batch.row_regions.resize(filled);
        std::iota(batch.row_regions.begin(), batch.row_regions.end(), std::size_t{0});
        return {};
    }

private:
    void next_run() {
        ++run_;
        if (run_ < plan_.runs.size()) at_ = plan_.runs[run_].begin;
        // An input no later run reads is closed, so that few are open at once.
        const std::size_t done = plan_.runs[run_ - 1].input;
        for (std::size_t r = run_; r < plan_.runs.size(); ++r)
            if (plan_.runs[r].input == done) return;
        streams_.close(done);
    }

    bool kept() const { return plan_.keep.empty() || plan_.keep[planned_]; }

    // Reads rows of `run` from the stream until `want` are kept or the run ends.
    Status take(MatrixRowStream& stream, const RowRun& run, std::size_t want, Matrix& batch, std::size_t out_cols,
                std::size_t& filled) {
        const std::size_t in_cols = stream.cols();
        auto& regions = batch.region_set.regions;
        if (plan_.keep.empty() && plan_.columns.empty()) {
            const std::size_t n = std::min({want, run.end - at_, kReadBatch});
            if (auto read = stream.read(n, batch.values.data() + filled * out_cols, regions); !read) return read;
            at_ += n;
            planned_ += n;
            filled += n;
            return {};
        }
        row_.resize(in_cols);
        while (want > 0 && at_ < run.end) {
            if (!kept()) {
                if (auto skipped = stream.skip(1); !skipped) return skipped;
            } else {
                if (auto read = stream.read(1, row_.data(), regions); !read) return read;
                float* out = batch.values.data() + filled * out_cols;
                if (plan_.columns.empty()) {
                    std::copy(row_.begin(), row_.end(), out);
                } else {
                    for (std::size_t c = 0; c < plan_.columns.size(); ++c) out[c] = row_[plan_.columns[c]];
                }
                ++filled;
                --want;
            }
            ++at_;
            ++planned_;
        }
        return {};
    }

    const RowPlan& plan_;
    InputStreams streams_;
    std::size_t run_ = 0;
    std::size_t at_ = 0;       // the next row of the current run
    std::size_t planned_ = 0;  // planned rows passed so far
    std::vector<float> row_;

public:
    void start() {
        if (!plan_.runs.empty()) at_ = plan_.runs[0].begin;
    }
};

}  // namespace

std::size_t planned_rows(const RowPlan& plan) {
    if (!plan.keep.empty()) return static_cast<std::size_t>(std::count(plan.keep.begin(), plan.keep.end(), true));
    std::size_t rows = 0;
    for (const RowRun& run : plan.runs) rows += run.end > run.begin ? run.end - run.begin : 0;
    return rows;
}

Result<MatrixRowStream*> InputStreams::at(std::size_t input, std::size_t row) {
    auto& stream = streams_[input];
    if (!stream || stream->position() > row) {
        auto opened = MatrixRowStream::open(paths_[input]);
        if (!opened) return fail(std::move(opened.error()));
        stream = std::make_unique<MatrixRowStream>(std::move(*opened));
    }
    if (stream->position() < row)
        if (auto skipped = stream->skip(row - stream->position()); !skipped) return fail(std::move(skipped.error()));
    return stream.get();
}

OpStatus write_planned(const RowPlan& plan, const RowGroups& groups, const std::vector<std::string>& sample_labels,
                       const Params& params, const OpOutput& output) {
    StreamedMatrix layout;
    layout.header_line = matrix_header_line(groups, sample_labels, params);
    layout.rows = planned_rows(plan);
    std::size_t in_cols = 0;
    if (plan.columns.empty() && !plan.inputs.empty()) {
        auto first = MatrixRowStream::open(plan.inputs[plan.runs.empty() ? 0 : plan.runs[0].input]);
        if (!first) return file_error(std::move(first.error()));
        in_cols = first->cols();
    }
    layout.cols = plan.columns.empty() ? in_cols : plan.columns.size();
    PlanSource source(plan);
    source.start();
    return write_streamed(layout, output, [&](std::size_t begin, std::size_t end, Matrix& batch) {
        return source.fill(end - begin, batch, layout.cols);
    });
}

Status scan_rows(MatrixRowStream& stream, const RowVisit& visit) {
    std::vector<float> values(kReadBatch * stream.cols());
    std::vector<Region> regions;
    while (stream.position() < stream.rows()) {
        const std::size_t n = std::min(kReadBatch, stream.rows() - stream.position());
        regions.clear();
        if (auto read = stream.read(n, values.data(), regions); !read) return read;
        for (std::size_t i = 0; i < n; ++i) visit(regions[i], values.data() + i * stream.cols());
    }
    return {};
}

}  // namespace binscope
