// bigwig_writer_example.hpp - the small example of the repository
// (examples/example.bw and examples/genes.bed), generated deterministically.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/bigwig_writer.hpp"

namespace binscope::testing {

// chr1 (60 kb) and chr2 (40 kb).
std::vector<BigWigChrom> example_chroms();

// Piecewise-constant coverage: a low background, raised over gene bodies,
// with a peak around every transcription start, and no data in
// chr2:16000-20000.
std::vector<BigWigSection> example_sections();

// Twelve genes in BED6 on both chromosomes and both strands.
std::string example_genes_bed();

// Writes example.bw and genes.bed into dir.
void write_example_files(const std::filesystem::path& dir);

}  // namespace binscope::testing
