// text_fields.hpp - the region fields the text writers share: integers,
// the strand character and comma-separated block coordinates.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "output/number_format.hpp"
#include "output/text_buffer.hpp"
#include "region.hpp"

namespace binscope {

inline void append_int(TextBuffer& out, std::int64_t value) {
    out.commit(write_int(out.reserve(kNumberTextMax), value));
}

// The strand as text; anything but '+' and '-' shows as '.'.
inline char strand_char(Strand strand) {
    return strand == U'+' || strand == U'-' ? static_cast<char>(strand) : '.';
}

// value(block) of every block, separated by commas.
template <class Value>
void append_block_list(TextBuffer& out, std::span<const Block> blocks, Value&& value) {
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        if (b > 0) out.append(',');
        append_int(out, value(blocks[b]));
    }
}

}  // namespace binscope
