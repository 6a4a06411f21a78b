// bigwig_writer.hpp - writes small bigWig files for the tests: either byte
// order, compressed or stored blocks, all three section types, chosen tree
// fan-outs, and switches that break one structure of the file each.
//
// Usage:
//   using namespace binscope::testing;
//   write_bigwig(path, {{"chr1", 1000}, {"chr2", 500}},
//                {bedgraph_section("chr1", {{0, 10, 1.5f}, {20, 30, 2.0f}}),
//                 fixedstep_section("chr2", 100, 10, 5, {1, 2, 3})});
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace binscope::testing {

// One chromosome of the file. Chromosome ids are the positions in the list
// given to the writer; the chromosome tree holds the list in that order
// (names may repeat, and any bytes are copied as they are).
struct BigWigChrom {
    std::string name;
    std::uint32_t length = 0;
};

struct BedGraphItem {
    std::uint32_t start = 0;
    std::uint32_t end = 0;
    float value = 0;
};

struct VariableStepItem {
    std::uint32_t start = 0;
    float value = 0;
};

enum class SectionType : std::uint8_t { BedGraph = 1, VariableStep = 2, FixedStep = 3 };

// The records of one chromosome in one section type. The writer cuts a
// section into data blocks of `items_per_block` records, each block with
// its own section header (a fixedStep block starts where its first record
// lies).
struct BigWigSection {
    std::string chrom;  // must name a chromosome of the file (first match)
    SectionType type = SectionType::BedGraph;
    std::uint32_t start = 0;  // fixedStep: base of the first record
    std::uint32_t step = 0;   // fixedStep: stride
    std::uint32_t span = 0;   // variableStep and fixedStep: run length
    std::vector<BedGraphItem> bedgraph{};
    std::vector<VariableStepItem> variable{};
    std::vector<float> fixed{};
};

BigWigSection bedgraph_section(std::string chrom, std::vector<BedGraphItem> items);
BigWigSection variablestep_section(std::string chrom, std::uint32_t span, std::vector<VariableStepItem> items);
BigWigSection fixedstep_section(std::string chrom, std::uint32_t start, std::uint32_t step, std::uint32_t span,
                                std::vector<float> values);

// Ways to damage one structure of an otherwise well-formed file.
enum class BigWigBreak {
    None,
    BadMagic,                // the file magic is not a bigWig or bigBed magic
    ChromTreeMagic,          // chromosome tree header magic is wrong
    ChromTreeValSize,        // valSize is 4 instead of 8
    ChromTreeHugeItemCount,  // itemCount in the tree header is 2^62
    ChromTreeHugeKeySize,    // keySize is 0xFFFFFFF0
    ChromNodeHugeCount,      // the root node claims 65535 items
    ChromTreeCycle,          // the root's first child is the root (needs a multi-level tree)
    ChromTreeLongChain,      // `chain_length` one-item nodes nest above the real root
    IndexMagic,              // the R-tree index header magic is wrong
    RTreeNodeHugeCount,      // the R-tree root claims 65535 items
    RTreeBadIsLeaf,          // the R-tree root's isLeaf byte is 7
    RTreeCycle,              // the R-tree root's first child is the root (needs a multi-level R-tree)
    RTreeLongChain,          // `chain_length` one-item nodes nest above the real R-tree root
    BlockHugeSize,           // the first block's dataSize is 2^62
    BlockOffsetPastEnd,      // the first block's dataOffset lies past the end of the file
    BlockListedTwice,        // the R-tree lists the first block again after the last one
    BlocksOverlap,           // every leaf item claims the data from its block to the end of all blocks
    BlockNotZlib,            // the first block's bytes are not a zlib stream
    UncompressBufTooSmall,   // uncompressBufSize is 16, smaller than any block
    HugeUncompressBufSize,   // uncompressBufSize is 0xFFFFFFFF (the file stays readable)
    SectionShort,            // the first block holds only 10 bytes
    RecordsPastBlockEnd,     // the first block's itemCount exceeds its records by 1000
    UnknownSectionType,      // the first block's section type is 9
    Truncate,                // the file ends 20 bytes into the R-tree index header
};

struct BigWigOptions {
    bool big_endian = false;
    bool compress = true;  // uncompressBufSize: the largest block, or 0 when stored
    std::uint32_t items_per_block = 1024;
    std::uint32_t chrom_tree_fanout = 256;  // items per chromosome tree node
    std::uint32_t rtree_fanout = 256;       // items per R-tree node
    std::uint32_t key_size = 0;             // 0: the longest name (at least 1)
    std::uint16_t zoom_levels = 0;          // dummy zoom headers after the header
    bool bigbed_magic = false;              // write the bigBed magic instead
    BigWigBreak breakage = BigWigBreak::None;
    std::uint32_t chain_length = 1000;  // for the *LongChain breakages
};

// The file's bytes. Throws std::invalid_argument on a section naming an
// unknown chromosome or a breakage the layout cannot carry.
std::string bigwig_bytes(const std::vector<BigWigChrom>& chroms, const std::vector<BigWigSection>& sections,
                         const BigWigOptions& options = {});

// Random records over a chromosome of `length` bases in one of the three
// section types: runs of 1 to 8 or up to 300 bases with gaps, spans of 0
// to 12, values of mixed magnitudes and signs, both zeros and a few NaN.
// `disorder` makes some records overlap others or go back.
BigWigSection random_section(const std::string& chrom, std::uint32_t length, bool disorder, std::mt19937& rng);

// Applies the section's records in order to `bases` (one value per base of
// its chromosome): what a reader must give for every base.
void apply_section(const BigWigSection& section, std::vector<float>& bases);

// Writes bigwig_bytes(...) to path.
void write_bigwig(const std::filesystem::path& path, const std::vector<BigWigChrom>& chroms,
                  const std::vector<BigWigSection>& sections, const BigWigOptions& options = {});

}  // namespace binscope::testing
