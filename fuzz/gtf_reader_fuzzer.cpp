// gtf_reader_fuzzer.cpp - reads arbitrary bytes as a GTF region file.
#include <cstdint>

#include "bed_reader.hpp"
#include "memory_file.hpp"
#include "region_checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static binscope::fuzz::MemoryFile file("regions.gtf");
    file.assign(data, size);
    binscope::RegionSet set;
    if (binscope::read_gtf_regions({file.path()}, set)) binscope::fuzz::check_regions(set);
    return 0;
}
