// block_list.cpp - growth, copies and moves of block lists.
#include "block_list.hpp"

#include <algorithm>
#include <bit>
#include <memory>

namespace binscope {

namespace {

std::size_t heap_room(std::size_t size) { return std::bit_ceil(size); }

}  // namespace

BlockList::BlockList(BlockList&& other) noexcept : one_{} {
    if (other.size_ > 1) many_ = other.many_;
    else one_ = other.one_;
    size_ = other.size_;
    other.size_ = 0;
}

BlockList& BlockList::operator=(const BlockList& other) {
    if (this == &other) return *this;
    clear();
    append(other.data(), other.size_);
    return *this;
}

BlockList& BlockList::operator=(BlockList&& other) noexcept {
    if (this == &other) return *this;
    clear();
    if (other.size_ > 1) many_ = other.many_;
    else one_ = other.one_;
    size_ = other.size_;
    other.size_ = 0;
    return *this;
}

void BlockList::append(const Block* first, std::size_t count) {
    if (count == 0) return;
    const std::size_t size = size_ + count;
    if (size == 1) {
        one_ = *first;
    } else if (size_ > 1 && size <= heap_room(size_)) {
        std::copy_n(first, count, many_ + size_);
    } else {
        // The old blocks go first, then the new ones, before the old room
        // is freed: `first` may point into it.
        std::allocator<Block> allocator;
        Block* room = allocator.allocate(heap_room(size));
        std::uninitialized_copy_n(data(), size_, room);
        std::uninitialized_copy_n(first, count, room + size_);
        clear();
        many_ = room;
    }
    size_ = size;
}

void BlockList::clear() noexcept {
    if (size_ > 1) std::allocator<Block>().deallocate(many_, heap_room(size_));
    one_ = Block{};
    size_ = 0;
}

bool operator==(const BlockList& a, const BlockList& b) noexcept {
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace binscope
