// token.cpp - the server's secret: random bytes, URL-safe text.
#include "view/token.hpp"

#include <array>
#include <cerrno>
#include <cstdint>
#include <sys/random.h>

namespace binscope {

Result<std::string> make_token() {
    std::array<std::uint8_t, 33> bytes{};  // 32 random bytes and a zero to end the last group of three
    std::size_t filled = 0;
    while (filled < 32) {
        const ssize_t n = getrandom(bytes.data() + filled, 32 - filled, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(Error::from_errno(errno).context("Cannot read the system's random source"));
        filled += static_cast<std::size_t>(n);
    }
    constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string token;
    for (std::size_t i = 0; i < 32; i += 3) {
        const std::uint32_t group = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        const std::size_t chars = i + 3 <= 32 ? 4 : 3;  // the last group holds two random bytes: 16 bits in 3 chars
        for (std::size_t c = 0; c < chars; ++c) token.push_back(alphabet[(group >> (18 - 6 * c)) & 63]);
    }
    return token;
}

bool token_matches(std::string_view given, std::string_view expected) {
    unsigned difference = given.size() == expected.size() ? 0u : 1u;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const unsigned char g = i < given.size() ? static_cast<unsigned char>(given[i]) : 0;
        difference |= static_cast<unsigned>(g ^ static_cast<unsigned char>(expected[i]));
    }
    return difference == 0;
}

}  // namespace binscope
