// reader.cpp - BigWigReader: opening a score file and answering run
// queries over its intervals.
#include "bigwig/reader.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fmt/format.h>
#include <limits>
#include <numeric>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "bigwig/block_cache.hpp"
#include "bigwig/byte_source.hpp"
#include "bigwig/file_errors.hpp"
#include "bigwig/file_header.hpp"
#include "bigwig/http_source.hpp"
#include "bigwig/quoted_path.hpp"
#include "bigwig/rtree_index.hpp"
#include "bigwig/run_query.hpp"
#include "bigwig/section_decoder.hpp"
#include "progress.hpp"
#include "text_input_path.hpp"
#include "text_util.hpp"

namespace binscope {

struct BigWigReader::Impl {
    Impl(std::unique_ptr<bigwig::ByteSource> src, bigwig::FileLayout layout)
        : source(std::move(src)),
          order(layout.order),
          header(layout.header),
          chroms(std::move(layout.chroms)),
          index(order),
          blocks(header.uncompress_buf_size) {}

    // Loads the index root and fills `found` with the checked blocks of
    // [start, end] of chromosome id, fetched together.
    Status find_checked(std::uint32_t id, std::uint32_t start, std::uint32_t end);
    // find_checked without the fetch.
    Status find_blocks(std::uint32_t id, std::uint32_t start, std::uint32_t end);
    std::optional<std::uint32_t> chrom_id(std::string_view name);
    // Keeps only the last occurrence of every block: a block applied again
    // later rewrites every base it wrote before, so earlier copies change
    // nothing.
    void drop_repeated_blocks();

    std::unique_ptr<bigwig::ByteSource> source;
    ByteOrder order;
    BigWigHeader header;
    std::vector<ChromInfo> chroms;
    // Name to id of its first entry in the list; built at the first query.
    std::unordered_map<std::string, std::uint32_t, TextHash, std::equal_to<>> ids;
    bool ids_built = false;
    bigwig::RTreeIndex index;
    bigwig::BlockCache blocks;
    std::vector<bigwig::DataBlock> found;    // reused by every query
    std::vector<bigwig::DataBlock> planned;  // blocks to fetch ahead
    std::vector<std::size_t> by_block;     // scratch of drop_repeated_blocks
    std::vector<bool> keep;                // scratch of drop_repeated_blocks
    bigwig::RunQuery run;  // the run query in progress
};

std::optional<std::uint32_t> BigWigReader::Impl::chrom_id(std::string_view name) {
    if (!ids_built) {
        ids.reserve(chroms.size());
        for (const ChromInfo& c : chroms) ids.emplace(c.name, c.id);
        ids_built = true;
    }
    auto it = ids.find(name);
    if (it == ids.end()) return std::nullopt;
    return it->second;
}

void BigWigReader::Impl::drop_repeated_blocks() {
    if (found.size() < 2) return;
    // List positions ordered by block, then by position: of equal blocks,
    // every one but the last is dropped.
    by_block.resize(found.size());
    std::iota(by_block.begin(), by_block.end(), std::size_t{0});
    auto key = [&](std::size_t i) { return std::tuple(found[i].offset, found[i].size, i); };
    std::sort(by_block.begin(), by_block.end(), [&](std::size_t a, std::size_t b) { return key(a) < key(b); });
    keep.assign(found.size(), true);
    bool repeated = false;
    for (std::size_t k = 0; k + 1 < by_block.size(); ++k) {
        const auto& a = found[by_block[k]];
        const auto& b = found[by_block[k + 1]];
        if (a.offset == b.offset && a.size == b.size) keep[by_block[k]] = false, repeated = true;
    }
    if (!repeated) return;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < found.size(); ++i)
        if (keep[i]) found[kept++] = found[i];
    found.resize(kept);
}

Status BigWigReader::Impl::find_blocks(std::uint32_t id, std::uint32_t start, std::uint32_t end) {
    if (auto r = index.load_root(*source, header.full_index_offset); !r) return r;
    found.clear();
    if (auto r = index.find_blocks(*source, id, start, end, found); !r) return r;
    drop_repeated_blocks();
    // Distinct blocks of a well-formed file never share bytes.
    std::uint64_t total = 0;
    for (const auto& b : found) {
        if (!source->holds(b.offset, b.size)) return fail(bigwig::read_failed(bigwig::short_read()));
        total += b.size;
        if (total > source->size()) return fail(bigwig::invalid_file("Data blocks overlap"));
    }
    return {};
}

Status BigWigReader::Impl::find_checked(std::uint32_t id, std::uint32_t start, std::uint32_t end) {
    if (auto r = find_blocks(id, start, end); !r) return r;
    if (auto r = source->prefetch(found); !r) return fail(bigwig::read_failed(std::move(r.error())));
    return {};
}

namespace {

std::unexpected<Error> fail_open(const std::string& display_path, Error error) {
    std::string line = "Error when opening: " + bigwig::quoted_path(display_path) + "\n";
    write_stderr(line);
    return fail(std::move(error));
}

}  // namespace

Result<BigWigReader> BigWigReader::open(const std::string& path, bigwig::RemoteSession* session) {
    auto source = !is_url(path) ? bigwig::open_file_source(path)
                  : session     ? session->open(path)
                                : bigwig::open_http_source(path);
    if (!source) return fail(std::move(source.error()));
    return open_source(std::move(*source), path);
}

Result<BigWigReader> BigWigReader::open_source(std::unique_ptr<bigwig::ByteSource> source,
                                               const std::string& display_path) {
    auto layout = bigwig::read_layout(*source);
    if (!layout) return fail_open(display_path, std::move(layout.error()));
    return BigWigReader(std::make_unique<Impl>(std::move(source), std::move(*layout)));
}

BigWigReader::BigWigReader(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
BigWigReader::BigWigReader(BigWigReader&&) noexcept = default;
BigWigReader& BigWigReader::operator=(BigWigReader&&) noexcept = default;
BigWigReader::~BigWigReader() = default;

const std::vector<ChromInfo>& BigWigReader::chroms() const { return impl_->chroms; }

Status BigWigReader::begin_runs(std::string_view chrom, std::uint32_t start, std::uint32_t end, RunOrder order) {
    auto id = impl_->chrom_id(chrom);
    if (!id) return fail(fmt::format("The passed chromosome ({}) was incorrect.", chrom));
    if (auto r = impl_->find_checked(*id, start, end); !r) return r;
    impl_->run.begin(*id, start, end, order, impl_->found);
    return {};
}

Result<RunBatch> BigWigReader::next_runs() {
    return impl_->run.next(*impl_->source, impl_->order, impl_->blocks);
}

Status BigWigReader::plan_blocks(std::string_view chrom, std::uint32_t start, std::uint32_t end) {
    auto id = impl_->chrom_id(chrom);
    if (!id) return fail(fmt::format("The passed chromosome ({}) was incorrect.", chrom));
    if (auto r = impl_->find_blocks(*id, start, end); !r) return r;
    impl_->planned.insert(impl_->planned.end(), impl_->found.begin(), impl_->found.end());
    return {};
}

std::uint64_t BigWigReader::fetch_planned() {
    const std::uint64_t asked = impl_->source->read_ahead(impl_->planned);
    impl_->planned.clear();
    return asked;
}

}  // namespace binscope
