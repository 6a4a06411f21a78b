// grammar.hpp - the command grammar shared by every subcommand: an option
// is a row of a table that drives both the parser and the help text, and a
// subcommand is a name, a description and its table.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "cli.hpp"
#include "error.hpp"

namespace binscope::cli {

// A flag takes no value; a list one or more values, from one or several
// occurrences; anything else exactly one.
enum class ValueKind { flag, single, list };

// A check of one value beyond its type; its error message follows
// "invalid value '...' for '...': ".
using ValueCheck = Status (*)(std::string_view value);

// What an option row says of itself in help and errors.
struct OptionText {
    std::string_view long_name;
    char short_name;  // '\0' when the option has none
    std::string_view value_name;
    bool required;
    std::string_view help;
};

struct OptionSpec {
    OptionText text;
    ValueKind kind = ValueKind::flag;
    Status (*store)(Cli& cli, std::string_view value) = nullptr;  // one value into the record being filled
    std::optional<std::string> (*default_value)() = nullptr;     // the default as help shows it, if any
    ValueCheck check = nullptr;
    bool lone_dash_value = false;  // a lone "-" after it is its value, not a misplaced option
};

// The row, taking a lone "-" as a value (a strand, say).
inline OptionSpec with_lone_dash_value(OptionSpec row) {
    row.lone_dash_value = true;
    return row;
}

// A subcommand. Subcommands of one family are called as
// `binscope FAMILY NAME`; those without a family as `binscope NAME`.
struct CommandSpec {
    std::string_view family;  // empty for a top-level subcommand
    std::string_view name;
    std::string_view about;
    int tip_group;  // a misplaced option's tip names only subcommands of the same group
    std::span<const OptionSpec> options;  // in help order
    void (*start)(Cli& cli);              // puts the subcommand's default record in place
};

// A family of subcommands, listed once in the top-level help.
struct FamilySpec {
    std::string_view name;
    std::string_view about;
};

// ---- values ----------------------------------------------------------------

// Decimal and exponent notation, "inf", "infinity" and "nan" in any case,
// each with an optional sign.
Result<double> parse_float(std::string_view text);

Status store(bool& field, std::string_view value);
Status store(std::int64_t& field, std::string_view value);
Status store(std::size_t& field, std::string_view value);
Status store(double& field, std::string_view value);
Status store(std::string& field, std::string_view value);

// An optional value, or one more element of a list.
template <class T>
Status store(std::optional<T>& field, std::string_view value) {
    T parsed{};
    if (auto ok = store(parsed, value); !ok) return ok;
    field = std::move(parsed);
    return {};
}

template <class T>
Status store(std::vector<T>& field, std::string_view value) {
    T parsed{};
    if (auto ok = store(parsed, value); !ok) return ok;
    field.push_back(std::move(parsed));
    return {};
}

template <class T>
Status store(std::optional<std::vector<T>>& field, std::string_view value) {
    if (!field) field.emplace();
    return store(*field, value);
}

// ---- option rows from record fields -----------------------------------------

// A default value as help shows it ("1", not "1.0").
std::string format_default(std::int64_t value);
std::string format_default(std::size_t value);
std::string format_default(double value);
std::string format_default(const std::string& value);


template <class M>
struct MemberOf;
template <class R, class T>
struct MemberOf<T R::*> {
    using Record = R;
    using Type = T;
};

template <class T>
constexpr bool kIsList = false;
template <class T>
constexpr bool kIsList<std::vector<T>> = true;
template <class T>
constexpr bool kIsList<std::optional<std::vector<T>>> = true;

// The record of type R during a parse: the subcommand's own record, or the
// part its family shares (`shared()`).
template <class R>
R& record_for(Cli& cli) {
    return std::visit(
        []<class C>(C& sub) -> R& {
            if constexpr (std::is_same_v<C, R>) return sub;
            else if constexpr (requires { { sub.shared() } -> std::same_as<R&>; }) return sub.shared();
            else throw std::logic_error("an option stored for another subcommand");
        },
        cli.command);
}

// The row of the option whose values land in `Member`; its default is the
// member's value in a default record.
template <auto Member>
OptionSpec option(OptionText text, ValueCheck check = nullptr) {
    using R = typename MemberOf<decltype(Member)>::Record;
    using T = typename MemberOf<decltype(Member)>::Type;
    OptionSpec row{text};
    row.kind = std::is_same_v<T, bool> ? ValueKind::flag : kIsList<T> ? ValueKind::list : ValueKind::single;
    row.store = [](Cli& cli, std::string_view value) { return store(record_for<R>(cli).*Member, value); };
    row.default_value = []() -> std::optional<std::string> {
        if constexpr (std::is_same_v<T, std::int64_t> || std::is_same_v<T, std::size_t> ||
                      std::is_same_v<T, double> || std::is_same_v<T, std::string>) {
            static const R defaults{};
            return format_default(defaults.*Member);
        } else {
            return std::nullopt;
        }
    };
    row.check = check;
    return row;
}

// The subcommand starter of record type R.
template <class R>
void start_with(Cli& cli) {
    cli.command = R{};
}

// ---- the parse ---------------------------------------------------------------

// Parses the process arguments against the given subcommands and
// families (argv[0] is the program name).
ParseOutcome parse_with(std::span<const CommandSpec* const> commands, std::span<const FamilySpec> families,
                        const std::vector<std::string>& args);

}  // namespace binscope::cli
