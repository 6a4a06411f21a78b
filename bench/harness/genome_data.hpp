// genome_data.hpp - the seeded, human-sized synthetic data set of the
// genome benchmark: four coverage bigWig files, genes as BED6 and BED12,
// a GTF annotation, peaks and a blacklist.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "harness/bigwig_stream_writer.hpp"

namespace binscope::bench {

// Chromosome names and lengths of the primary human assembly.
const std::vector<ChromSize>& human_chroms();

// Where each file of the data set lives inside its folder.
struct DatasetFiles {
    std::filesystem::path folder;
    std::vector<std::string> bigwigs;  // four score files
    std::string genes_bed;             // 60,000 genes, BED6
    std::string genes_bed12;           // the same genes with 2 to 20 exons
    std::string transcripts_gtf;       // about 200,000 transcripts
    std::string peaks_bed;             // 100,000 peaks
    std::string blacklist_bed;
};

DatasetFiles dataset_files(const std::filesystem::path& folder);

// Writes every file of the data set unless the folder already holds a
// complete set made with this seed (a stamp file records it). Uses up
// to `threads` threads for the score files; prints progress to stdout.
void ensure_dataset(const DatasetFiles& files, std::uint64_t seed, unsigned threads);

}  // namespace binscope::bench
