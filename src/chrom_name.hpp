// chrom_name.hpp - chromosome names, each distinct name stored once.
#pragma once

#include <concepts>
#include <iosfwd>
#include <string>
#include <string_view>

namespace binscope {

// A chromosome name the size of a pointer. Every distinct name is kept
// once, for the whole process, so that a name never outlives its text and
// a million regions on a few dozen chromosomes hold a few dozen copies.
// Reads as a std::string_view; compares by text with any text and, in
// one step, with another ChromName.
class ChromName {
public:
    ChromName() noexcept = default;
    ChromName(std::string_view name) : text_(intern(name)) {}
    ChromName(const char* name) : ChromName(std::string_view(name)) {}
    ChromName(const std::string& name) : ChromName(std::string_view(name)) {}
    // The same name as `previous` when the text is the same, without
    // looking it up: the lines of one chromosome follow each other, so a
    // reader hands in the name it made last.
    ChromName(std::string_view name, ChromName previous)
        : text_(previous.text_ && *previous.text_ == name ? previous.text_ : intern(name)) {}

    std::string_view view() const noexcept { return text_ ? std::string_view(*text_) : std::string_view(); }
    operator std::string_view() const noexcept { return view(); }
    bool empty() const noexcept { return text_ == nullptr; }

    friend bool operator==(ChromName a, ChromName b) noexcept { return a.text_ == b.text_; }
    template <class Text>
        requires std::convertible_to<const Text&, std::string_view>
    friend bool operator==(ChromName a, const Text& b) {
        return a.view() == std::string_view(b);
    }

private:
    // The stored copy of name; null for the empty name. Safe on any thread.
    static const std::string* intern(std::string_view name);

    const std::string* text_ = nullptr;
};

std::ostream& operator<<(std::ostream& out, ChromName name);

}  // namespace binscope
