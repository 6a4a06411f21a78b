// reader.hpp - an open bigWig score file: its chromosome list and the
// runs of scores over an interval.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "bigwig/format.hpp"
#include "error.hpp"

namespace binscope {

namespace bigwig {
class ByteSource;
class RemoteSession;
}

// An open score file. Move-only; a reader serves one query at a time and
// is never shared between threads.
class BigWigReader {
public:
    // Opens and validates the file, reading its whole chromosome tree; a
    // path that is an http:// or https:// URL is read with range requests.
    // The error is "NotABigWig", "InvalidChroms" or that of the failed read
    // ("failed to fill whole buffer" when short, else the system's or the
    // server's). On a failure after the file was opened, writes "Error when
    // opening: " and the quoted path to standard error. A URL is read
    // through session when given (its pool and shared pages), else on its
    // own.
    static Result<BigWigReader> open(const std::string& path, bigwig::RemoteSession* session = nullptr);

    // As open(), over any source of the file's bytes; display_path stands
    // for the path in the "Error when opening: " line.
    static Result<BigWigReader> open_source(std::unique_ptr<bigwig::ByteSource> source,
                                            const std::string& display_path);

    BigWigReader(BigWigReader&&) noexcept;
    BigWigReader& operator=(BigWigReader&&) noexcept;
    ~BigWigReader();

    // Chromosomes in tree order (neither sorted nor de-duplicated).
    const std::vector<ChromInfo>& chroms() const;

    // Starts a run query on [start, end) of the named chromosome
    // (start < end), finding and checking its blocks. Errors: "The passed
    // chromosome (<name>) was incorrect.", "Invalid magic (likely a bug).",
    // "The file was invalid: <what>", "Error occurred: <read error>".
    Status begin_runs(std::string_view chrom, std::uint32_t start, std::uint32_t end, RunOrder order);
    // The next runs of the query, in position order and clipped to it; the
    // bases between them have no value. Every base has the value the last
    // record covering it, in block order, gives it. The errors are those of
    // begin_runs() for a block that fails to decode.
    Result<RunBatch> next_runs();

    // Finds the blocks a run query on [start, end) of the named chromosome
    // will read and adds them to the planned ones. Changes nothing a query
    // returns.
    Status plan_blocks(std::string_view chrom, std::uint32_t start, std::uint32_t end);
    // Has the source start fetching the planned blocks, neighbours in one
    // request, without waiting, and forgets them; the bytes asked for.
    std::uint64_t fetch_planned();

private:
    struct Impl;
    explicit BigWigReader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace binscope
