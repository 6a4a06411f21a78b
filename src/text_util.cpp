// text_util.cpp - ASCII case folding and decimal integers.
#include "text_util.hpp"

#include <type_traits>

namespace binscope {

namespace {

constexpr const char* kInvalidDigit = "invalid digit found in string";

bool all_digits(std::string_view text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace

std::string ascii_lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string ascii_upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

template <class Int>
Result<Int> parse_integer(std::string_view text, DigitCheck check) {
    if (text.empty()) return fail("cannot parse integer from empty string");
    bool negative = false;
    std::size_t i = 0;
    if (text[0] == '+' || (std::is_signed_v<Int> && text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
        if (text.size() == 1) return fail(kInvalidDigit);
    }
    if (check == DigitCheck::whole_text_first && !all_digits(text.substr(i))) return fail(kInvalidDigit);
    // Accumulating towards the sign keeps the most negative value
    // representable.
    Int value = 0;
    for (; i < text.size(); ++i) {
        const unsigned digit = static_cast<unsigned char>(text[i]) - unsigned{'0'};
        if (digit > 9) return fail(kInvalidDigit);
        const bool overflow = __builtin_mul_overflow(value, 10, &value) ||
                              (negative ? __builtin_sub_overflow(value, static_cast<Int>(digit), &value)
                                        : __builtin_add_overflow(value, static_cast<Int>(digit), &value));
        if (overflow) {
            return fail(negative ? "number too small to fit in target type" : "number too large to fit in target type");
        }
    }
    return value;
}

template Result<std::int64_t> parse_integer(std::string_view, DigitCheck);
template Result<std::size_t> parse_integer(std::string_view, DigitCheck);

Result<std::int64_t> parse_int64(std::string_view text) { return parse_integer<std::int64_t>(text); }

}  // namespace binscope
