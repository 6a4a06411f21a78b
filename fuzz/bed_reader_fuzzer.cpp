// bed_reader_fuzzer.cpp - reads arbitrary bytes as a BED region file, as
// one file and as two files, with and without BED12 blocks; the second
// reading goes on through the rest of the run.
#include <cstdint>

#include "bed_reader.hpp"
#include "memory_file.hpp"
#include "region_checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static binscope::fuzz::MemoryFile file("regions.bed");
    file.assign(data, size);
    if (auto set = binscope::read_regions({file.path()}, false)) binscope::fuzz::check_regions(*set, false);
    if (auto set = binscope::read_regions({file.path(), file.path()}, true)) binscope::fuzz::check_regions(*set);
    return 0;
}
