// block_list.hpp - the blocks of a region: one held in place, more on the
// heap.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <ranges>
#include <type_traits>

namespace binscope {

// One half-open interval [start, end) on the region's chromosome.
struct Block {
    std::int64_t start = 0;
    std::int64_t end = 0;
    friend bool operator==(const Block&, const Block&) = default;
};

// A list of blocks that reads like a vector. Nearly every region has one
// block, held in place without a heap allocation; a longer list (BED12
// lines, transcripts) lives on the heap, in room for the size rounded up to
// a power of two.
class BlockList {
public:
    using value_type = Block;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;
    using reference = Block&;
    using const_reference = const Block&;
    using pointer = Block*;
    using const_pointer = const Block*;
    using iterator = Block*;
    using const_iterator = const Block*;

    BlockList() noexcept : one_{} {}
    BlockList(std::initializer_list<Block> blocks) : one_{} { append(blocks.begin(), blocks.size()); }
    // From any contiguous run of blocks, such as a std::vector<Block>.
    template <std::ranges::contiguous_range Blocks>
        requires(std::ranges::sized_range<Blocks> && !std::same_as<std::remove_cvref_t<Blocks>, BlockList> &&
                 std::same_as<std::ranges::range_value_t<Blocks>, Block>)
    BlockList(Blocks&& blocks) : one_{} {
        append(std::ranges::data(blocks), std::ranges::size(blocks));
    }
    BlockList(const BlockList& other) : one_{} { append(other.data(), other.size_); }
    BlockList(BlockList&& other) noexcept;
    BlockList& operator=(const BlockList& other);
    BlockList& operator=(BlockList&& other) noexcept;
    ~BlockList() { clear(); }

    Block* data() noexcept { return size_ > 1 ? many_ : &one_; }
    const Block* data() const noexcept { return size_ > 1 ? many_ : &one_; }
    std::size_t size() const noexcept { return size_; }
    bool empty() const noexcept { return size_ == 0; }
    Block* begin() noexcept { return data(); }
    Block* end() noexcept { return data() + size_; }
    const Block* begin() const noexcept { return data(); }
    const Block* end() const noexcept { return data() + size_; }
    Block& operator[](std::size_t i) noexcept { return data()[i]; }
    const Block& operator[](std::size_t i) const noexcept { return data()[i]; }
    Block& front() noexcept { return data()[0]; }
    const Block& front() const noexcept { return data()[0]; }
    Block& back() noexcept { return data()[size_ - 1]; }
    const Block& back() const noexcept { return data()[size_ - 1]; }

    void push_back(const Block& block) { append(&block, 1); }
    // Appends count blocks from `first`, which may lie in this list.
    void append(const Block* first, std::size_t count);
    // Empties the list and gives back its heap room.
    void clear() noexcept;

    friend bool operator==(const BlockList& a, const BlockList& b) noexcept;

private:
    union {
        Block one_;    // size_ <= 1
        Block* many_;  // size_ > 1: room for std::bit_ceil(size_) blocks
    };
    std::size_t size_ = 0;
};

}  // namespace binscope
