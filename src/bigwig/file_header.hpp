// file_header.hpp - the open sequence of a score file: magic, fixed header,
// zoom headers and chromosome list.
#pragma once

#include <expected>
#include <vector>

#include "bigwig/reader.hpp"
#include "bigwig/byte_source.hpp"

namespace binscope::bigwig {

struct FileLayout {
    ByteOrder order = ByteOrder::Little;
    BigWigHeader header;
    std::vector<ZoomHeader> zooms;
    std::vector<ChromInfo> chroms;
};

// Decodes everything an open needs. A bigBed file is read like a bigWig
// file, chromosome tree included, and only then refused with NotABigWig.
std::expected<FileLayout, BigWigReadOpenError> read_layout(ByteSource& source);

}  // namespace binscope::bigwig
