// decimal_float.cpp - short plain decimals to float with one exact
// division, and std::from_chars for everything else.
#include "matrix_file/decimal_float.hpp"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace binscope {

namespace {

// Every power of ten up to 10^22 is a double exactly.
constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
// Up to 19 digits fit an unsigned 64-bit integer, and the divisor is
// one of the powers above.
constexpr std::size_t kMostDigits = 19;
static_assert(kMostDigits < std::size(kPowersOfTen));
// Integers up to 2^53 are doubles exactly.
constexpr std::uint64_t kMostExactInteger = std::uint64_t{1} << 53;
// The 29 low bits of a double's mantissa that a float drops, when the
// double lies halfway between two floats (normal ones, which all results
// here are: they lie between 10^-19 and 2^53, or are zero).
constexpr std::uint64_t kDroppedBits = (std::uint64_t{1} << 29) - 1;
constexpr std::uint64_t kHalfway = std::uint64_t{1} << 28;

// Appends the decimal digits from `at` on to `number`; returns where they end.
const char* read_digits(const char* at, const char* last, std::uint64_t& number) {
    while (at != last && static_cast<unsigned char>(*at - '0') < 10) {
        number = number * 10 + static_cast<unsigned char>(*at - '0');  // wraps when too long: rejected by the count
        ++at;
    }
    return at;
}

}  // namespace

std::from_chars_result read_decimal_float(const char* first, const char* last, float& value) {
    // The text must be -?D+(.D*)? followed by the end or a tab.
    const bool negative = first != last && *first == '-';
    const char* const digits = first + (negative ? 1 : 0);
    std::uint64_t mantissa = 0;
    const char* at = read_digits(digits, last, mantissa);
    const auto whole_digits = static_cast<std::size_t>(at - digits);
    std::size_t fraction_digits = 0;
    if (at != last && *at == '.') {
        const char* const fraction = at + 1;
        at = read_digits(fraction, last, mantissa);
        fraction_digits = static_cast<std::size_t>(at - fraction);
    }
    if (whole_digits == 0 || whole_digits + fraction_digits > kMostDigits || mantissa > kMostExactInteger ||
        (at != last && *at != '\t'))
        return std::from_chars(first, last, value);
    // Both operands are exact, so the one rounding of the division gives
    // the double nearest to the text. Rounding that double to a float gives
    // the float nearest to the text, unless the double is halfway between
    // two floats: then the text may lie on either side of it.
    const double nearest = static_cast<double>(mantissa) / kPowersOfTen[fraction_digits];
    if ((std::bit_cast<std::uint64_t>(nearest) & kDroppedBits) == kHalfway) return std::from_chars(first, last, value);
    const auto rounded = static_cast<float>(nearest);
    value = negative ? -rounded : rounded;
    return {at, std::errc()};
}

}  // namespace binscope
