// bigwig_reader.cpp - chromosome tables, per-thread readers, chromosome name
// matching and clamped interval values.
#include "bigwig_reader.hpp"

#include <algorithm>
#include <limits>
#include <new>

namespace binscope {

Result<ChromLengthTable> open_chrom_table(const std::string& path) {
    auto reader = BigWigReader::open(path);
    if (!reader) return fail(std::move(reader.error()).context("opening bigwig " + path).context("Opening " + path));
    ChromLengthTable table;
    table.reserve(reader->chroms().size());
    // A name listed twice keeps its last length.
    for (const ChromInfo& c : reader->chroms()) table.insert_or_assign(c.name, c.length);
    return table;
}

std::vector<std::optional<BigWigReader>>& ReaderCache::readers(const std::vector<std::string>& paths) {
    if (slots_.size() != paths.size()) {
        slots_.clear();
        slots_.reserve(paths.size());
        for (const std::string& path : paths) {
            auto reader = BigWigReader::open(path);
            if (reader)
                slots_.emplace_back(std::move(*reader));
            else
                slots_.emplace_back(std::nullopt);
        }
    }
    return slots_;
}

std::string alternate_chrom_name(std::string_view name) {
    if (name.size() >= 3 && name.substr(0, 3) == "chr") {
        std::string_view rest = name.substr(3);
        if (rest == "M") return "MT";
        return std::string(rest);
    }
    if (name == "MT") return "chrM";
    return "chr" + std::string(name);
}

std::optional<std::pair<std::string, std::uint32_t>> resolve_chrom(const ChromLengthTable& table,
                                                                   std::string_view name) {
    if (table.empty()) return std::nullopt;
    if (auto it = table.find(std::string(name)); it != table.end()) return std::pair(it->first, it->second);
    std::string alternate = alternate_chrom_name(name);
    if (auto it = table.find(alternate); it != table.end()) return std::pair(it->first, it->second);
    return std::nullopt;
}

void interval_values(BigWigReader& reader, std::string_view name, std::uint32_t length, std::int64_t start,
                     std::int64_t end, std::span<float> out) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::fill(out.begin(), out.end(), nan);
    if (end <= start || static_cast<std::uint64_t>(end - start) != out.size()) return;
    const std::int64_t qs = std::max<std::int64_t>(start, 0);
    const std::int64_t qe = std::max<std::int64_t>(std::min<std::int64_t>(end, length), 0);
    if (qe <= qs) return;
    auto part = out.subspan(static_cast<std::size_t>(qs - start), static_cast<std::size_t>(qe - qs));
    auto read = reader.values_into(name, static_cast<std::uint32_t>(qs), static_cast<std::uint32_t>(qe), part);
    if (read) return;
    // A file's problems are missing values; running out of memory ends the
    // run, as everywhere else (the callers here take no error).
    if (read.error().kind() == ErrorKind::out_of_memory) throw std::bad_alloc();
    std::fill(part.begin(), part.end(), nan);
}

}  // namespace binscope
