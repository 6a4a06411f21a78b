// chop.cpp - taking a number of bases off either end of a block list.
#include "region/chop.hpp"

#include <algorithm>

#include "region/coordinates.hpp"

namespace binscope {

void chop(std::span<const Block> blocks, std::int64_t left, std::int64_t right, ChopResult& out) {
    out.left.clear();
    out.right.clear();
    // The body doubles as the working copy; [first, last) is what remains.
    out.body.assign(blocks.begin(), blocks.end());
    std::vector<Block>& work = out.body;
    std::size_t first = 0;
    std::size_t last = work.size();

    while (left > 0 && first < last) {
        Block& b = work[first];
        const std::int64_t w = block_width(b);
        if (left < w) {
            out.left.push_back({b.start, b.start + left});
            b.start += left;
            left = 0;
            break;
        }
        out.left.push_back(b);
        left -= w;
        ++first;
    }
    out.pad_left = left > 0 ? left : 0;

    while (right > 0 && first < last) {
        Block& b = work[last - 1];
        const std::int64_t w = block_width(b);
        if (right < w) {
            out.right.push_back({b.end - right, b.end});
            b.end -= right;
            right = 0;
            break;
        }
        out.right.push_back(b);
        right -= w;
        --last;
    }
    std::reverse(out.right.begin(), out.right.end());
    out.pad_right = right > 0 ? right : 0;

    work.erase(work.begin() + static_cast<std::ptrdiff_t>(last), work.end());
    work.erase(work.begin(), work.begin() + static_cast<std::ptrdiff_t>(first));
}

}  // namespace binscope
