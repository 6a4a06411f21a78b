// segmented_gzip.hpp - one gzip member whose text is made of segments that
// are formatted and compressed independently on several threads and
// written to the file in order.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "error.hpp"
#include "output/text_buffer.hpp"

namespace binscope {

// Writes segment `index`'s text into `out` (empty on entry). Called on any
// of the writing threads, for every index exactly once, in no set order.
using SegmentText = std::function<void(std::size_t index, TextBuffer& out)>;

// Creates (truncates) `path` and writes the gzip member of the
// concatenated text of segments 0 .. count-1 (at least one): the fixed
// 10-byte header, one raw deflate stream made of the segments compressed
// independently at level 6 and joined (DeflateJoiner), then the CRC-32
// (combined from the segments') and the length modulo 2^32.
//
// `threads` helper threads format and compress while the calling thread
// writes, in chunks of up to 32768 bytes, mostly waiting; it does the
// compressing itself only when no helper can be started. At most a few
// segments per thread are held at once. The bytes depend only on the
// segments' texts, never on the thread count. Errors are the system's
// own, or a compressed segment that does not walk as a deflate stream of
// its text; an exception thrown by `text` reaches the caller once every
// helper has stopped.
Status write_segmented_gzip(const std::string& path, std::size_t count, std::size_t threads,
                            const SegmentText& text);

}  // namespace binscope
