// small_text.hpp - a text the size of two pointers, short ones held in place.
#pragma once

#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace binscope {

// A text in 16 bytes: up to 15 bytes are held in place, a longer text on
// the heap. Meant for short texts that most records carry, such as a score
// column ("1.5802704") or a region's name. Reads as a std::string_view and
// compares by text.
class SmallText {
public:
    SmallText() noexcept { set_inline({}); }
    SmallText(std::string_view text);
    SmallText(const char* text) : SmallText(std::string_view(text)) {}
    SmallText(const std::string& text) : SmallText(std::string_view(text)) {}
    SmallText(const SmallText& other) : SmallText(other.view()) {}
    SmallText(SmallText&& other) noexcept;
    SmallText& operator=(const SmallText& other);
    SmallText& operator=(SmallText&& other) noexcept;
    ~SmallText() { release(); }

    std::string_view view() const noexcept;
    operator std::string_view() const noexcept { return view(); }
    bool empty() const noexcept { return view().empty(); }

    template <class Text>
        requires std::convertible_to<const Text&, std::string_view>
    friend bool operator==(const SmallText& a, const Text& b) {
        return a.view() == std::string_view(b);
    }

private:
    static_assert(std::endian::native == std::endian::little || std::endian::native == std::endian::big);
    static constexpr std::size_t kInlineMax = 15;
    // Where the heap address is kept (a 64-bit word), the byte that holds
    // its lowest bit, and the first byte of a text held in place: the text
    // takes the 15 bytes that are not the tag.
    static constexpr bool kLittle = std::endian::native == std::endian::little;
    static constexpr std::size_t kWordByte = kLittle ? 0 : 8;
    static constexpr std::size_t kTagByte = kLittle ? 0 : 15;
    static constexpr std::size_t kTextByte = kLittle ? 1 : 0;

    bool is_inline() const noexcept { return (bytes_[kTagByte] & 1) != 0; }
    void set_inline(std::string_view text) noexcept;
    const char* heap() const noexcept;
    void release() noexcept;

    // In place: the tag byte holds 2 * length + 1 and the other bytes the
    // text. On the heap: the word is the address, even, of a std::size_t
    // length followed by the text.
    alignas(std::uint64_t) unsigned char bytes_[16];
};

std::ostream& operator<<(std::ostream& out, const SmallText& text);

}  // namespace binscope
