// bigwig_fuzzer.cpp - opens arbitrary bytes as a score file and runs
// interval queries on every chromosome it lists.
//
// Inputs of odd length are read through a file descriptor (pread), the
// others from memory: both sources feed the same parser.
//
// Input: a score file as it is (it starts with a bigWig or bigBed magic),
// or 8 bytes that steer the queries (u32 start, u32 span, little endian)
// followed by the file's bytes.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "bigwig/reader.hpp"
#include "bigwig_reader.hpp"
#include "memory_file.hpp"
#include "support/memory_reader.hpp"

namespace {

constexpr std::size_t kMaxChroms = 8;
// Queries stay small whatever length a chromosome claims, so that memory
// tracks the input rather than the claim.
constexpr std::uint32_t kMaxQuery = 1 << 16;

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

bool starts_with_magic(const std::uint8_t* p) {
    const std::uint32_t m = std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
    return m == 0x888FFC26 || m == 0x26FC8F88 || m == 0x8789F2EB || m == 0xEBF28987;
}

using Answer = binscope::Result<std::vector<float>>;

// The scores of [start, end), one per base, from a run query in `order`.
Answer run_query(binscope::BigWigReader& reader, const std::string& chrom, std::uint32_t start, std::uint32_t end,
                 binscope::RunOrder order) {
    if (start >= end) return {};
    std::vector<float> values(end - start, std::numeric_limits<float>::quiet_NaN());
    if (auto begun = reader.begin_runs(chrom, start, end, order); !begun) return std::unexpected(std::move(begun.error()));
    for (;;) {
        auto batch = reader.next_runs();
        if (!batch) return std::unexpected(std::move(batch.error()));
        if (batch->runs.empty() || batch->unsorted) return values;
        for (const binscope::ScoreRun& run : batch->runs) {
            if (run.start < start || run.end > end || run.start >= run.end) std::abort();
            std::fill(values.begin() + (run.start - start), values.begin() + (run.end - start), run.value);
        }
    }
}

Answer check_query(binscope::BigWigReader& reader, const std::string& chrom, std::uint32_t start, std::uint32_t end) {
    return run_query(reader, chrom, start, end, binscope::RunOrder::Painted);
}

// Answers depend on the file and the query only, never on what the reader
// read or kept before: same success, same error, same bits.
void check_same(const Answer& a, const Answer& b) {
    if (a.has_value() != b.has_value()) std::abort();
    if (!a) {
        if (a.error().chain() != b.error().chain()) std::abort();
        return;
    }
    if (a->size() != b->size() || (!a->empty() && std::memcmp(a->data(), b->data(), a->size() * sizeof(float)) != 0))
        std::abort();
}

struct Query {
    std::string chrom;
    std::uint32_t start = 0, end = 0;
    Answer answer;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const bool through_file = size % 2 == 1;
    std::uint32_t start_seed = 0, span_seed = kMaxQuery - 1;
    if (size >= 8 && !starts_with_magic(data)) {
        start_seed = le32(data);
        span_seed = le32(data + 4);
        data += 8;
        size -= 8;
    }
    static binscope::fuzz::MemoryFile file("score.bw");
    if (through_file) file.assign(data, size);
    auto open = [&] {
        if (through_file) return binscope::BigWigReader::open(file.path());
        return binscope::testing::open_memory(std::string(reinterpret_cast<const char*>(data), size), "fuzz.bw");
    };
    auto reader = open();
    if (!reader) {
        (void)reader.error().message();
        return 0;
    }
    // The chromosome list is what the run builds its tables from.
    binscope::ChromLengthTable table;
    for (const auto& c : reader->chroms()) table.insert_or_assign(c.name, c.length);

    const auto chroms = reader->chroms();  // copied: queries must not depend on it staying put
    std::vector<Query> steered;
    for (std::size_t i = 0; i < chroms.size() && i < kMaxChroms; ++i) {
        const std::string& name = chroms[i].name;
        const std::uint32_t length = chroms[i].length;
        if (length == 0) continue;
        const std::uint32_t span = std::min<std::uint32_t>(span_seed % kMaxQuery + 1, length);
        const std::uint32_t start = start_seed % length;
        // The chromosome's start, a steered window and its end; the
        // steered window twice, so that the second one meets the caches.
        check_query(*reader, name, 0, std::min(length, kMaxQuery));
        const std::uint32_t end = start + std::min(span, length - start);
        const Answer first = check_query(*reader, name, start, end);
        check_query(*reader, name, length - std::min(length, 1000u), length);
        steered.push_back({name, start, end, check_query(*reader, name, start, end)});
        check_same(first, steered.back().answer);

        // The score source's view: the records handed out as they are,
        // over the name the table resolves.
        if (auto resolved = binscope::resolve_chrom(table, name))
            (void)run_query(*reader, resolved->first, start, end, binscope::RunOrder::Sorted);
    }
    check_query(*reader, "\x01not-a-chromosome", 0, 10);

    // A fresh reader asked the steered windows in reverse order, with other
    // caches behind each answer, agrees.
    if (steered.empty()) return 0;
    auto fresh = open();
    if (!fresh) std::abort();
    for (auto q = steered.rbegin(); q != steered.rend(); ++q)
        check_same(check_query(*fresh, q->chrom, q->start, q->end), q->answer);
    return 0;
}
