// file_header.hpp - the open sequence of a score file: magic, fixed header,
// zoom headers and chromosome list.
#pragma once

#include <vector>

#include "bigwig/byte_source.hpp"
#include "bigwig/format.hpp"
#include "error.hpp"

namespace binscope::bigwig {

struct FileLayout {
    ByteOrder order = ByteOrder::Little;
    BigWigHeader header;
    std::vector<ZoomHeader> zooms;
    std::vector<ChromInfo> chroms;
};

// Decodes everything an open needs; the errors are BigWigReader::open's. A
// bigBed file is read like a bigWig file, chromosome tree included, and
// only then refused with NotABigWig.
Result<FileLayout> read_layout(ByteSource& source);

}  // namespace binscope::bigwig
