// bigwig_reader_runs.hpp - a region's scores for one sample as runs over
// the positions of its clipped zones, read from the score file as the
// bins walk forward.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "bigwig/format.hpp"

namespace binscope {

class BigWigReader;

// A stretch of consecutive positions of the row: either bases of the
// chromosome read from the score file, or positions without a value
// (below base 0, or read without success).
struct Stretch {
    enum class Mode { Missing, Sorted, Painted };
    std::uint64_t at = 0;  // first position
    std::uint64_t length = 0;
    std::int64_t start = 0;  // first genomic base, for read stretches
    Mode mode = Mode::Missing;
};

// Hands the positions of a row's stretches to bin statistics, in order.
// Bins come with non-decreasing starts and ends; a bin may begin inside
// the one before it.
class RowRuns {
public:
    // Starts at position 0 of `stretches`, read from `chrom` of `reader`.
    void start(BigWigReader& reader, const std::string& chrom, std::span<const Stretch> stretches);
    // Adds the runs of positions [from, to) to `stat` (stat.add(value,
    // count), NaN for positions without a value), in order.
    template <class Stat>
    void feed(std::uint64_t from, std::uint64_t to, Stat& stat) {
        while (pending_.end <= from) pending_ = pull();
        for (;;) {
            const std::uint64_t lo = std::max(from, pending_.start), hi = std::min(to, pending_.end);
            stat.add(pending_.value, hi - lo);
            if (pending_.end >= to) return;
            pending_ = pull();
        }
    }
    // Goes back (or on) to position `at`, reading its stretch again.
    void seek(std::uint64_t at);
    // Reads the rest of the stretch in hand: a later block can still prove
    // it unsorted or fail it.
    void finish();

    // The first stretch whose reading failed, or whose records proved
    // unsorted, since start(); its positions and all after it were fed as
    // missing. Nothing of the row then counts: it must be computed again.
    // Complete once finish() has been called.
    struct Trouble {
        std::size_t stretch = 0;
        bool unsorted = false;
    };
    const std::optional<Trouble>& trouble() const { return trouble_; }

private:
    struct Piece {
        std::uint64_t start = 0, end = 0;
        float value = 0;
    };

    // The piece starting at cursor_.
    Piece pull();
    void open(std::size_t stretch, std::uint64_t at);
    // The reader's next runs into batch_, or the end of the query.
    void fetch();
    void fail(bool unsorted);

    BigWigReader* reader_ = nullptr;
    const std::string* chrom_ = nullptr;
    std::span<const Stretch> stretches_;
    std::size_t current_ = 0;  // the stretch that holds cursor_
    std::uint64_t cursor_ = 0;
    std::span<const ScoreRun> batch_;  // the reader's runs not handed out yet
    bool query_done_ = true;
    Piece pending_;  // the last piece pulled, not yet used up
    std::optional<Trouble> trouble_;
};

}  // namespace binscope
