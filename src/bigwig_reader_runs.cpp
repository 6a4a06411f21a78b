// bigwig_reader_runs.cpp - pieces of a row (score runs and the gaps
// between them) pulled from the score file's run queries as the bins need
// them.
#include "bigwig_reader_runs.hpp"

#include <algorithm>
#include <limits>

#include "bigwig/reader.hpp"

namespace binscope {

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

std::uint64_t end_of(const Stretch& s) { return s.at + s.length; }

}  // namespace

void RowRuns::start(BigWigReader& reader, const std::string& chrom, std::span<const Stretch> stretches) {
    reader_ = &reader;
    chrom_ = &chrom;
    stretches_ = stretches;
    trouble_.reset();
    if (!stretches.empty()) open(0, 0);
}

void RowRuns::open(std::size_t stretch, std::uint64_t at) {
    current_ = stretch;
    cursor_ = at;
    pending_ = Piece{at, at, kNaN};
    batch_ = {};
    query_done_ = true;
    const Stretch& s = stretches_[stretch];
    if (s.mode == Stretch::Mode::Missing || trouble_) return;
    const auto from = static_cast<std::uint32_t>(s.start + static_cast<std::int64_t>(at - s.at));
    const auto to = static_cast<std::uint32_t>(s.start + static_cast<std::int64_t>(s.length));
    const RunOrder order = s.mode == Stretch::Mode::Sorted ? RunOrder::Sorted : RunOrder::Painted;
    if (!reader_->begin_runs(*chrom_, from, to, order)) return fail(false);
    query_done_ = false;
}

void RowRuns::fail(bool unsorted) {
    if (!trouble_) trouble_ = Trouble{current_, unsorted};
    batch_ = {};
    query_done_ = true;
}

void RowRuns::fetch() {
    auto next = reader_->next_runs();
    if (!next || next->unsorted)
        fail(next.has_value());
    else if (next->runs.empty())
        query_done_ = true;
    else
        batch_ = next->runs;
}

void RowRuns::finish() {
    while (!query_done_) fetch();
    batch_ = {};
}

RowRuns::Piece RowRuns::pull() {
    while (current_ + 1 < stretches_.size() && cursor_ >= end_of(stretches_[current_])) {
        finish();
        open(current_ + 1, stretches_[current_ + 1].at);
    }
    const Stretch& s = stretches_[current_];
    const std::uint64_t stretch_end = end_of(s);
    while (batch_.empty() && !query_done_) fetch();
    Piece piece{cursor_, stretch_end, kNaN};
    if (!batch_.empty()) {
        const ScoreRun& run = batch_.front();
        const std::uint64_t run_at = s.at + static_cast<std::uint64_t>(run.start - s.start);
        if (run_at > cursor_) {
            piece.end = run_at;
        } else {
            piece.end = s.at + static_cast<std::uint64_t>(run.end - s.start);
            piece.value = run.value;
            batch_ = batch_.subspan(1);
        }
    }
    cursor_ = piece.end;
    return piece;
}

void RowRuns::seek(std::uint64_t at) {
    finish();
    std::size_t s = 0;
    while (s + 1 < stretches_.size() && end_of(stretches_[s]) <= at) ++s;
    open(s, at);
}

}  // namespace binscope
