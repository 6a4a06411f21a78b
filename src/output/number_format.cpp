// number_format.cpp - the number texts of the output files, built on the
// standard library's shortest round-trip and exact fixed conversions.
#include "output/number_format.hpp"

#include <charconv>
#include <cmath>
#include <cstring>

namespace binscope {

namespace {

// A shortest round-trip decimal taken apart: value = 0.d1d2... x 10^(exponent + 1),
// i.e. the first digit has decimal exponent `exponent`. No trailing zeros.
struct Decimal {
    bool negative = false;
    char digits[32];
    int count = 0;
    int exponent = 0;
};

template <class F>
Decimal shortest_decimal(F value) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
    const char* p = buf;
    const char* const end = res.ptr;
    Decimal d;
    if (p < end && *p == '-') {
        d.negative = true;
        ++p;
    }
    for (; p < end && *p != 'e'; ++p)
        if (*p != '.') d.digits[d.count++] = *p;
    if (p < end) ++p;  // 'e'
    int sign = 1;
    if (p < end && (*p == '-' || *p == '+')) sign = *p++ == '-' ? -1 : 1;
    int exponent = 0;
    for (; p < end; ++p) exponent = exponent * 10 + (*p - '0');
    d.exponent = sign * exponent;
    while (d.count > 1 && d.digits[d.count - 1] == '0') --d.count;
    return d;
}

char* fill(char* out, char c, int n) {
    if (n > 0) {
        std::memset(out, c, static_cast<std::size_t>(n));
        out += n;
    }
    return out;
}

// Writes the digits without exponent; `point_zero` adds ".0" to integers.
char* write_positional(char* out, const Decimal& d, bool point_zero) {
    if (d.negative) *out++ = '-';
    if (d.exponent < 0) {
        *out++ = '0';
        *out++ = '.';
        out = fill(out, '0', -d.exponent - 1);
        std::memcpy(out, d.digits, static_cast<std::size_t>(d.count));
        return out + d.count;
    }
    const int int_digits = d.exponent + 1;
    if (d.count <= int_digits) {
        std::memcpy(out, d.digits, static_cast<std::size_t>(d.count));
        out = fill(out + d.count, '0', int_digits - d.count);
        if (point_zero) {
            *out++ = '.';
            *out++ = '0';
        }
        return out;
    }
    std::memcpy(out, d.digits, static_cast<std::size_t>(int_digits));
    out += int_digits;
    *out++ = '.';
    std::memcpy(out, d.digits + int_digits, static_cast<std::size_t>(d.count - int_digits));
    return out + (d.count - int_digits);
}

char* write_text(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

char* write_non_finite(char* out, float value) {
    if (std::isnan(value)) return write_text(out, "nan");
    return write_text(out, value < 0 ? "-inf" : "inf");
}

}  // namespace

char* write_float_shortest(char* out, float value) {
    if (!std::isfinite(value)) return write_non_finite(out, value);
    if (std::fabs(value) < 16777216.0f) {
        // Integers below 2^24 are their own shortest text; matrices are full
        // of them (zeros above all), so skip the general conversion.
        const auto whole = static_cast<std::int32_t>(value);
        if (static_cast<float>(whole) == value) {
            if (whole == 0) return write_text(out, std::signbit(value) ? "-0" : "0");
            return write_int(out, whole);
        }
        // Below 2^24 neighbouring floats lie less than 1 apart, so the
        // shortest round-trip digits reach past the units and need no zeros
        // before the point: the fewest characters in fixed notation (the
        // standard conversion without a precision, nearest candidate first)
        // are then exactly these digits written positionally. Skipping the
        // detour through the scientific form halves the cost per value.
        return std::to_chars(out, out + kNumberTextMax, value, std::chars_format::fixed).ptr;
    }
    return write_positional(out, shortest_decimal(value), false);
}

char* write_float_fixed4(char* out, float value) {
    if (!std::isfinite(value)) return write_non_finite(out, value);
    // The conversion with a precision is exact and rounds ties to even.
    return std::to_chars(out, out + kNumberTextMax, value, std::chars_format::fixed, 4).ptr;
}

char* write_int(char* out, std::int64_t value) {
    return std::to_chars(out, out + kNumberTextMax, value).ptr;
}

std::string json_number(double value) {
    if (!std::isfinite(value)) return "null";
    const Decimal d = shortest_decimal(value);
    char buf[kNumberTextMax];
    char* out = buf;
    if (d.exponent >= -5 && d.exponent <= 15) {
        out = write_positional(out, d, true);
    } else {
        if (d.negative) *out++ = '-';
        *out++ = d.digits[0];
        if (d.count > 1) {
            *out++ = '.';
            std::memcpy(out, d.digits + 1, static_cast<std::size_t>(d.count - 1));
            out += d.count - 1;
        }
        *out++ = 'e';
        *out++ = d.exponent < 0 ? '-' : '+';
        out = write_int(out, d.exponent < 0 ? -d.exponent : d.exponent);
    }
    return std::string(buf, out);
}

void append_json_string(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (u < 0x20) {
                out += "\\u00";
                out += kHex[u >> 4];
                out += kHex[u & 0xF];
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

}  // namespace binscope
