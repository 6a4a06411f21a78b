// blacklist_fuzzer.cpp - loads arbitrary bytes as a blacklist and filters a
// fixed set of regions with it.
#include <cstdint>
#include <cstdlib>

#include "blacklist.hpp"
#include "memory_file.hpp"

namespace {

binscope::RegionSet probe_regions() {
    binscope::RegionSet set;
    set.groups = {"genes"};
    const char* chroms[] = {"chr1", "1", "chrX", "chr", ""};
    for (const char* chrom : chroms) {
        for (std::int64_t start : {INT64_MIN, std::int64_t{-10}, std::int64_t{0}, std::int64_t{99},
                                   std::int64_t{1000}, INT64_MAX - 1}) {
            binscope::Region r;
            r.chrom = chrom;
            r.blocks = {{start, start + 1}};
            if (start == 0) r.blocks = {{0, 10}, {20, 30}, {5000, 6000}};
            set.regions.push_back(r);
        }
    }
    return set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static binscope::fuzz::MemoryFile file("blacklist.bed");
    static const binscope::RegionSet regions = probe_regions();
    file.assign(data, size);
    auto blacklist = binscope::load_blacklist(file.path());
    if (!blacklist) return 0;
    // Every list is sorted and merged: starts and ends strictly increase.
    for (const auto& [chrom, list] : blacklist->intervals) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (list[i].start >= list[i].end) std::abort();
            if (i > 0 && list[i].start <= list[i - 1].end) std::abort();
        }
    }
    const auto kept = binscope::filter_regions(regions, *blacklist);
    if (kept.size() > regions.regions.size()) std::abort();
    (void)blacklist->interval_count();
    return 0;
}
