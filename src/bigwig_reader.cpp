// bigwig_reader.cpp - chromosome tables, a worker's readers, chromosome
// name matching and the reading of a row's stretches.
#include "bigwig_reader.hpp"

#include "bigwig/reader.hpp"

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
    const std::string alternate = alternate_chrom_name(name);
    if (auto it = table.find(alternate); it != table.end()) return std::pair(it->first, it->second);
    if (auto it = table.find(alternate_chrom_name(alternate)); it != table.end())
        return std::pair(it->first, it->second);
    return std::nullopt;
}

ReaderCache::ReaderCache() = default;
ReaderCache::~ReaderCache() = default;

void ReaderCache::open(const std::vector<std::string>& paths, bigwig::RemoteSession* session) {
    if (slots_.size() == paths.size()) return;
    slots_.clear();
    slots_.reserve(paths.size());
    for (const std::string& path : paths) {
        auto reader = BigWigReader::open(path, session);
        slots_.push_back(reader ? std::make_unique<BigWigReader>(std::move(*reader)) : nullptr);
    }
}

bool ReaderCache::is_open(std::size_t k) const { return k < slots_.size() && slots_[k]; }

bool ReaderCache::read_row(std::size_t k, const std::string& chrom, std::vector<Stretch>& stretches,
                           const std::function<void(RowRuns&)>& bins) {
    if (!is_open(k)) return false;
    for (;;) {
        runs_.start(*slots_[k], chrom, stretches);
        bins(runs_);
        runs_.finish();
        const auto& trouble = runs_.trouble();
        if (!trouble) return true;
        Stretch& s = stretches[trouble->stretch];
        s.mode = trouble->unsorted && s.mode == Stretch::Mode::Sorted ? Stretch::Mode::Painted : Stretch::Mode::Missing;
    }
}

}  // namespace binscope
