// bigwig_stream_writer.cpp - the streaming bigWig writer of the genome
// benchmark: head, blocks as they fill, then the index and the header.
#include "harness/bigwig_stream_writer.hpp"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>
#include <stdexcept>

namespace binscope::bench {

namespace {

constexpr std::uint32_t kBigWigMagic = 0x888FFC26;
constexpr std::uint32_t kChromTreeMagic = 0x78CA8C91;
constexpr std::uint32_t kIndexMagic = 0x2468ACE0;
constexpr std::uint32_t kFanout = 256;
constexpr std::size_t kHeaderSize = 64;
constexpr std::size_t kSectionHeaderSize = 24;
constexpr std::size_t kRecordSize = 12;

static_assert(std::endian::native == std::endian::little, "the writer copies numbers as the host stores them");

}  // namespace

BigWigStreamWriter::BigWigStreamWriter(const std::string& path, std::vector<ChromSize> chroms,
                                       std::uint32_t items_per_block)
    : path_(path), chroms_(std::move(chroms)), items_per_block_(std::clamp<std::uint32_t>(items_per_block, 1, 65535)) {
    if (chroms_.empty() || chroms_.size() > kFanout)
        throw std::invalid_argument("the stream writer takes 1 to 256 chromosomes");
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) throw std::runtime_error("cannot create " + path);
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);

    const unsigned char zeros[kHeaderSize] = {};
    put(zeros, kHeaderSize);

    // The chromosome tree: one leaf node, keys in byte order, ids in list order.
    chrom_tree_offset_ = pos_;
    std::uint32_t key_size = 1;
    for (const ChromSize& c : chroms_) key_size = std::max<std::uint32_t>(key_size, static_cast<std::uint32_t>(c.name.size()));
    put_u32(kChromTreeMagic);
    put_u32(static_cast<std::uint32_t>(chroms_.size()));
    put_u32(key_size);
    put_u32(8);
    put_u64(chroms_.size());
    put_u64(0);
    std::vector<std::uint32_t> by_name(chroms_.size());
    std::iota(by_name.begin(), by_name.end(), 0u);
    std::sort(by_name.begin(), by_name.end(), [&](auto a, auto b) { return chroms_[a].name < chroms_[b].name; });
    put_u8(1);
    put_u8(0);
    put_u16(static_cast<std::uint16_t>(chroms_.size()));
    for (std::uint32_t id : by_name) {
        std::string key = chroms_[id].name;
        key.resize(key_size, '\0');
        put(key.data(), key.size());
        put_u32(id);
        put_u32(chroms_[id].length);
    }

    data_offset_ = pos_;
    put_u64(0);  // block count, patched by finish()
    records_.reserve(static_cast<std::size_t>(items_per_block_) * kRecordSize);
}

BigWigStreamWriter::~BigWigStreamWriter() {
    if (file_ != nullptr) std::fclose(file_);
}

void BigWigStreamWriter::put(const void* data, std::size_t size) {
    if (std::fwrite(data, 1, size, file_) != size) throw std::runtime_error("cannot write " + path_);
    pos_ += size;
}

void BigWigStreamWriter::add(std::uint32_t chrom, std::uint32_t start, std::uint32_t end, float value) {
    if (block_items_ > 0 && (chrom != block_chrom_ || block_items_ == items_per_block_)) flush_block();
    block_chrom_ = chrom;
    unsigned char record[kRecordSize];
    std::memcpy(record, &start, 4);
    std::memcpy(record + 4, &end, 4);
    std::memcpy(record + 8, &value, 4);
    records_.insert(records_.end(), record, record + kRecordSize);
    ++block_items_;
}

void BigWigStreamWriter::flush_block() {
    if (block_items_ == 0) return;
    IndexItem item;
    item.chrom = block_chrom_;
    std::memcpy(&item.start, records_.data(), 4);
    std::memcpy(&item.end, records_.data() + records_.size() - kRecordSize + 4, 4);

    unsigned char head[kSectionHeaderSize] = {};
    const std::uint32_t fields[5] = {block_chrom_, item.start, item.end, 0, 0};
    std::memcpy(head, fields, sizeof fields);
    head[20] = 1;  // bedGraph
    const auto count = static_cast<std::uint16_t>(block_items_);
    std::memcpy(head + 22, &count, 2);
    records_.insert(records_.begin(), head, head + kSectionHeaderSize);

    // zlib at its default level, as common writers compress blocks.
    uLongf size = compressBound(static_cast<uLong>(records_.size()));
    compressed_.resize(size);
    if (compress2(compressed_.data(), &size, records_.data(), static_cast<uLong>(records_.size()), 6) != Z_OK)
        throw std::runtime_error("zlib compression failed");
    max_block_bytes_ = std::max(max_block_bytes_, static_cast<std::uint32_t>(records_.size()));
    item.offset = pos_;
    item.size = size;
    put(compressed_.data(), size);
    index_.push_back(item);
    records_.clear();
    block_items_ = 0;
}

void BigWigStreamWriter::write_index() {
    struct Node {
        std::size_t first = 0, last = 0;  // children in the level below (items for leaves)
        std::uint32_t start_chrom = 0, start_base = 0, end_chrom = 0, end_base = 0;
        std::uint64_t offset = 0;
    };
    // Levels bottom-up; the spans of a level come from the one below.
    std::vector<std::vector<Node>> levels(1);
    for (std::size_t i = 0; i < index_.size() || levels[0].empty(); i += kFanout) {
        Node n;
        n.first = i;
        n.last = std::min(index_.size(), i + kFanout);
        if (n.last > n.first) {
            n.start_chrom = index_[n.first].chrom;
            n.start_base = index_[n.first].start;
            n.end_chrom = index_[n.last - 1].chrom;
            n.end_base = index_[n.last - 1].end;
        }
        levels[0].push_back(n);
        if (index_.empty()) break;
    }
    while (levels.back().size() > 1) {
        const std::vector<Node>& below = levels.back();
        std::vector<Node> level;
        for (std::size_t i = 0; i < below.size(); i += kFanout) {
            Node n;
            n.first = i;
            n.last = std::min(below.size(), i + kFanout);
            n.start_chrom = below[n.first].start_chrom;
            n.start_base = below[n.first].start_base;
            n.end_chrom = below[n.last - 1].end_chrom;
            n.end_base = below[n.last - 1].end_base;
            level.push_back(n);
        }
        levels.push_back(std::move(level));
    }

    index_offset_ = pos_;
    std::uint64_t at = index_offset_ + 48;
    for (std::size_t l = levels.size(); l-- > 0;)
        for (Node& n : levels[l]) {
            n.offset = at;
            at += 4 + (n.last - n.first) * (l == 0 ? 32 : 24);
        }

    const Node& root = levels.back().front();
    put_u32(kIndexMagic);
    put_u32(kFanout);
    put_u64(index_.size());
    put_u32(root.start_chrom);
    put_u32(root.start_base);
    put_u32(root.end_chrom);
    put_u32(root.end_base);
    put_u64(index_offset_);
    put_u32(items_per_block_);
    put_u32(0);
    for (std::size_t l = levels.size(); l-- > 0;) {
        for (const Node& n : levels[l]) {
            put_u8(l == 0 ? 1 : 0);
            put_u8(0);
            put_u16(static_cast<std::uint16_t>(n.last - n.first));
            for (std::size_t i = n.first; i < n.last; ++i) {
                if (l == 0) {
                    const IndexItem& item = index_[i];
                    put_u32(item.chrom);
                    put_u32(item.start);
                    put_u32(item.chrom);
                    put_u32(item.end);
                    put_u64(item.offset);
                    put_u64(item.size);
                } else {
                    const Node& child = levels[l - 1][i];
                    put_u32(child.start_chrom);
                    put_u32(child.start_base);
                    put_u32(child.end_chrom);
                    put_u32(child.end_base);
                    put_u64(child.offset);
                }
            }
        }
    }
}

std::uint64_t BigWigStreamWriter::finish() {
    if (finished_) return pos_;
    flush_block();
    write_index();
    const std::uint64_t size = pos_;

    unsigned char header[kHeaderSize] = {};
    auto set = [&](std::size_t at, const auto& v) { std::memcpy(header + at, &v, sizeof v); };
    set(0, kBigWigMagic);
    set(4, std::uint16_t{4});
    set(8, chrom_tree_offset_);
    set(16, data_offset_);
    set(24, index_offset_);
    set(52, max_block_bytes_);
    const std::uint64_t blocks = index_.size();
    if (std::fseek(file_, 0, SEEK_SET) != 0 || std::fwrite(header, 1, kHeaderSize, file_) != kHeaderSize ||
        std::fseek(file_, static_cast<long>(data_offset_), SEEK_SET) != 0 ||
        std::fwrite(&blocks, 1, 8, file_) != 8 || std::fclose(file_) != 0) {
        file_ = nullptr;
        throw std::runtime_error("cannot write " + path_);
    }
    file_ = nullptr;
    finished_ = true;
    return size;
}

}  // namespace binscope::bench
