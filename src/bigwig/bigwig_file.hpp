// bigwig_file.hpp - an open bigWig score file: header, chromosome list and
// per-base interval queries.
#pragma once

#include <cstdint>
#include <expected>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace binscope {

enum class ByteOrder { Little, Big };

// Why a file could not be opened as a bigWig file.
struct BigWigReadOpenError {
    enum class Kind { NotABigWig, InvalidChroms, IoError };
    Kind kind = Kind::IoError;
    std::string io_text;  // the carried error's text, for IoError

    // "NotABigWig", "InvalidChroms", or the carried error's text.
    std::string text() const;
};

// Why one interval query failed.
struct BBIReadError {
    enum class Kind { InvalidChromosome, UnknownMagic, InvalidFile, BedValueError, IoError };
    Kind kind = Kind::IoError;
    std::string detail;  // chromosome name, invalid-file message or io text

    std::string text() const;
};

struct ChromInfo {
    std::string name;
    std::uint32_t length = 0;
    std::uint32_t id = 0;
};

// An open score file. Move-only; a reader serves one query at a time and
// is never shared between threads.
class BigWigReader {
public:
    // Opens and validates the file, reading its whole chromosome tree. On a
    // failure after the file was opened, writes "Error when opening: "
    // and the quoted path to standard error.
    static std::expected<BigWigReader, BigWigReadOpenError> open(const std::string& path);

    BigWigReader(BigWigReader&&) noexcept;
    BigWigReader& operator=(BigWigReader&&) noexcept;
    ~BigWigReader();

    // Chromosomes in tree order (neither sorted nor de-duplicated).
    const std::vector<ChromInfo>& chroms() const;
    ByteOrder byte_order() const;

    // One score per base of [start, end) of the named chromosome, NaN where
    // no record covers the base. Requires start < end.
    std::expected<std::vector<float>, BBIReadError> values(std::string_view chrom, std::uint32_t start,
                                                           std::uint32_t end);

    // As values(), writing into out (end - start floats), without
    // allocating the result.
    std::expected<void, BBIReadError> values_into(std::string_view chrom, std::uint32_t start,
                                                  std::uint32_t end, std::span<float> out);

    struct Impl;

private:
    explicit BigWigReader(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace binscope
