// small_text.hpp - a text the size of a pointer, short ones held in place.
#pragma once

#include <bit>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace binscope {

// A text in 8 bytes: up to 7 bytes are held in place, a longer text on the
// heap. Meant for short texts that most records carry, such as a score
// column. Reads as a std::string_view and compares by text.
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
    static constexpr std::size_t kInlineMax = 7;
    // The byte that holds the lowest bit of the 64-bit word.
    static constexpr std::size_t kTagByte = std::endian::native == std::endian::little ? 0 : 7;
    static constexpr std::size_t kTextByte = kTagByte == 0 ? 1 : 0;

    bool is_inline() const noexcept { return (bytes_[kTagByte] & 1) != 0; }
    void set_inline(std::string_view text) noexcept;
    const char* heap() const noexcept;
    void release() noexcept;

    // In place: the tag byte holds 2 * length + 1 and the other bytes the
    // text. On the heap: the word is the address, even, of a std::size_t
    // length followed by the text.
    alignas(std::uint64_t) unsigned char bytes_[8];
};

std::ostream& operator<<(std::ostream& out, const SmallText& text);

}  // namespace binscope
