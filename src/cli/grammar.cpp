// grammar.cpp - the parser and the help text, driven by the subcommands'
// option tables.
#include "cli/grammar.hpp"

#include <fmt/format.h>

#include <cstdlib>
#include <utility>

#include "text_util.hpp"

namespace binscope::cli {

namespace {

constexpr std::string_view kProgram = "binscope";
constexpr std::string_view kVersion = "0.1.0";
constexpr std::string_view kAbout = "Binned score matrices of bigWig signal over BED/GTF regions";
constexpr std::size_t kHelpWidth = 100;
constexpr std::string_view kHelpIndent = "          ";

// "--name <VALUE>" (with "..." when it takes several), or "--name" for flags.
std::string display(const OptionSpec& opt) {
    if (opt.kind == ValueKind::flag) return fmt::format("--{}", opt.text.long_name);
    return fmt::format("--{} <{}>{}", opt.text.long_name, opt.text.value_name,
                       opt.kind == ValueKind::list ? "..." : "");
}

// "heatmap", or "matrix subset" for a subcommand of a family.
std::string full_name(const CommandSpec& command) {
    if (command.family.empty()) return std::string(command.name);
    return fmt::format("{} {}", command.family, command.name);
}

// ---- help and usage ----------------------------------------------------------

std::string top_usage() { return fmt::format("Usage: {} <COMMAND>", kProgram); }

std::string family_usage(std::string_view family) { return fmt::format("Usage: {} {} <COMMAND>", kProgram, family); }

std::string command_usage(const CommandSpec& command) {
    std::string usage = fmt::format("Usage: {} {} [OPTIONS]", kProgram, full_name(command));
    for (const auto& opt : command.options)
        if (opt.text.required) {
            usage += ' ';
            usage += display(opt);
        }
    return usage;
}

// Appends the words of `text`, then `annotation` as one unbreakable unit,
// wrapped to kHelpWidth with every line indented.
void append_wrapped(std::string& out, std::string_view text, std::string_view annotation, std::string_view indent) {
    std::vector<std::string_view> words;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t space = text.find(' ', pos);
        if (space == std::string_view::npos) space = text.size();
        if (space > pos) words.push_back(text.substr(pos, space - pos));
        pos = space + 1;
    }
    if (!annotation.empty()) words.push_back(annotation);
    std::size_t line_length = 0;
    for (std::string_view word : words) {
        if (line_length > 0 && line_length + 1 + word.size() > kHelpWidth) {
            out += '\n';
            line_length = 0;
        }
        if (line_length == 0) {
            out += indent;
            line_length = indent.size();
        } else {
            out += ' ';
            ++line_length;
        }
        out += word;
        line_length += word.size();
    }
    out += '\n';
}

std::string command_help(const CommandSpec& command) {
    std::string out = fmt::format("{}\n\n{}\n\nOptions:\n", command.about, command_usage(command));
    for (const auto& opt : command.options) {
        if (opt.text.short_name) out += fmt::format("  -{}, {}\n", opt.text.short_name, display(opt));
        else out += fmt::format("      {}\n", display(opt));
        const auto value = opt.text.required ? std::nullopt : opt.default_value();
        append_wrapped(out, opt.text.help, value ? fmt::format("[default: {}]", *value) : "", kHelpIndent);
    }
    out += "  -h, --help\n";
    out += fmt::format("{}Print help\n", kHelpIndent);
    return out;
}

ParseExit print(std::string text) { return ParseExit{std::move(text), false, 0}; }

ParseExit usage_error(std::string_view message, std::string_view usage) {
    return ParseExit{fmt::format("error: {}\n\n{}\n\nFor more information, try '--help'.\n", message, usage), true, 2};
}

// The subcommands and families the parse knows, with lookups and help.
class Registry {
public:
    Registry(std::span<const CommandSpec* const> commands, std::span<const FamilySpec> families)
        : commands_(commands), families_(families) {}

    std::span<const CommandSpec* const> commands() const { return commands_; }

    const FamilySpec* family(std::string_view name) const {
        for (const auto& family : families_)
            if (family.name == name) return &family;
        return nullptr;
    }

    const CommandSpec* command(std::string_view family, std::string_view name) const {
        for (const CommandSpec* command : commands_)
            if (command->family == family && command->name == name) return command;
        return nullptr;
    }

    std::string top_help() const {
        std::string out = fmt::format("{}\n\n{}\n\nCommands:\n", kAbout, top_usage());
        for (const CommandSpec* command : commands_)
            if (command->family.empty()) out += fmt::format("  {:<17}{}\n", command->name, command->about);
        for (const auto& family : families_) out += fmt::format("  {:<17}{}\n", family.name, family.about);
        out += fmt::format("  {:<17}{}\n", "help", "Print this message or the help of the given subcommand");
        out += "\nOptions:\n";
        out += "  -h, --help     Print help\n";
        out += "  -V, --version  Print version\n";
        return out;
    }

    std::string family_help(const FamilySpec& family) const {
        std::string out = fmt::format("{}\n\n{}\n\nCommands:\n", family.about, family_usage(family.name));
        for (const CommandSpec* command : commands_)
            if (command->family == family.name) out += fmt::format("  {:<17}{}\n", command->name, command->about);
        out += "\nOptions:\n";
        out += "  -h, --help  Print help\n";
        return out;
    }

private:
    std::span<const CommandSpec* const> commands_;
    std::span<const FamilySpec> families_;
};

// ---- one subcommand's options --------------------------------------------------

class CommandParser {
public:
    CommandParser(const Registry& registry, const CommandSpec& command, std::span<const std::string> tokens)
        : registry_(registry), command_(command), tokens_(tokens), seen_(command.options.size(), 0) {
        command.start(cli_);
    }

    ParseOutcome parse() {
        while (next_ < tokens_.size()) {
            const std::string_view token = tokens_[next_++];
            std::optional<ParseExit> exit;
            if (token == "--") {
                // Nothing positional exists, so anything after "--" is extra.
                if (next_ < tokens_.size()) return unexpected(tokens_[next_]);
                break;
            }
            if (token.starts_with("--")) exit = long_option(token.substr(2));
            else if (token.size() > 1 && token.front() == '-') exit = short_cluster(token.substr(1));
            else exit = unexpected(token);
            if (exit) return *exit;
        }
        std::string missing;
        for (std::size_t i = 0; i < command_.options.size(); ++i)
            if (command_.options[i].text.required && seen_[i] == 0) missing += "\n  " + display(command_.options[i]);
        if (!missing.empty()) return error("the following required arguments were not provided:" + missing);
        return cli_;
    }

private:
    ParseExit error(std::string_view message) const { return usage_error(message, command_usage(command_)); }

    ParseExit unexpected(std::string_view token) const {
        std::string message = fmt::format("unexpected argument '{}' found", token);
        if (token.starts_with("--")) {
            const std::string_view name = token.substr(2);
            // Tips name only the subcommands of the same group: a matrix
            // option is no tip for a figure and the other way round.
            for (const CommandSpec* other : registry_.commands()) {
                if (other == &command_ || other->tip_group != command_.tip_group) continue;
                for (const auto& opt : other->options)
                    if (opt.text.long_name == name)
                        message += fmt::format("\n\n  tip: '--{}' is an option of '{}'", name, full_name(*other));
            }
        }
        return error(message);
    }

    // A token after an option that lacks its value, worth the hint that '='
    // passes it: one that is not an option of this subcommand.
    bool looks_like_value(std::string_view token) const {
        if (token.size() < 2 || token == "--") return false;
        if (token.starts_with("--")) {
            const std::string_view name = token.substr(2, token.find('=') - 2);
            return name != "help" && !find_long(name);
        }
        return token[1] != 'h' && !find_short(token[1]);
    }

    const OptionSpec* find_long(std::string_view name) const {
        for (const auto& opt : command_.options)
            if (opt.text.long_name == name) return &opt;
        return nullptr;
    }

    const OptionSpec* find_short(char name) const {
        for (const auto& opt : command_.options)
            if (opt.text.short_name == name) return &opt;
        return nullptr;
    }

    // `body` is the token without its "--".
    std::optional<ParseExit> long_option(std::string_view body) {
        std::optional<std::string_view> attached;
        std::string_view name = body;
        if (auto eq = body.find('='); eq != std::string_view::npos) {
            attached = body.substr(eq + 1);
            name = body.substr(0, eq);
        }
        if (name == "help") {
            if (attached)
                return error(fmt::format("unexpected value '{}' for '--help' found; no more were expected", *attached));
            return print(command_help(command_));
        }
        const OptionSpec* opt = find_long(name);
        if (!opt) return unexpected(fmt::format("--{}", name));
        return occurrence(*opt, attached);
    }

    // `body` is the token without its '-': flags, possibly ending in one
    // option that takes the rest of the token (after an optional '=') or
    // the following tokens as its value.
    std::optional<ParseExit> short_cluster(std::string_view body) {
        for (std::size_t i = 0; i < body.size(); ++i) {
            const char c = body[i];
            if (c == 'h') return print(command_help(command_));
            const OptionSpec* opt = find_short(c);
            if (!opt) return unexpected(fmt::format("-{}", c));
            std::string_view rest = body.substr(i + 1);
            if (opt->kind == ValueKind::flag) {
                if (rest.starts_with('='))
                    return error(fmt::format("unexpected value '{}' for '{}' found; no more were expected",
                                             rest.substr(1), display(*opt)));
                if (auto exit = occurrence(*opt, std::nullopt)) return exit;
                continue;
            }
            if (rest.starts_with('=')) rest.remove_prefix(1);
            else if (rest.empty()) return occurrence(*opt, std::nullopt);
            return occurrence(*opt, rest);
        }
        return std::nullopt;
    }

    // The values of one occurrence: the attached one, or the following
    // tokens that do not start with '-' (one, or all of them for a list).
    std::vector<std::string_view> values_of(const OptionSpec& opt, std::optional<std::string_view> attached) {
        std::vector<std::string_view> values;
        if (attached) {
            values.push_back(*attached);
            return values;
        }
        const auto is_value = [&](std::string_view token) {
            return !token.starts_with('-') || (opt.lone_dash_value && token == "-");
        };
        while (next_ < tokens_.size() && is_value(tokens_[next_])) {
            values.push_back(tokens_[next_++]);
            if (opt.kind != ValueKind::list) break;
        }
        return values;
    }

    std::optional<ParseExit> occurrence(const OptionSpec& opt, std::optional<std::string_view> attached) {
        const std::size_t index = static_cast<std::size_t>(&opt - command_.options.data());
        if (seen_[index] > 0 && opt.kind != ValueKind::list)
            return error(fmt::format("the argument '{}' cannot be used multiple times", display(opt)));
        ++seen_[index];
        if (opt.kind == ValueKind::flag) {
            if (attached)
                return error(fmt::format("unexpected value '{}' for '{}' found; no more were expected", *attached,
                                         display(opt)));
            (void)opt.store(cli_, {});
            return std::nullopt;
        }
        const auto values = values_of(opt, attached);
        if (values.empty()) {
            std::string message = fmt::format("a value is required for '{}' but none was supplied", display(opt));
            if (next_ < tokens_.size() && looks_like_value(tokens_[next_]))
                message += fmt::format("\n\n  tip: to pass '{}' as a value, use '--{}={}'", tokens_[next_],
                                       opt.text.long_name, tokens_[next_]);
            return error(message);
        }
        for (std::string_view value : values) {
            auto ok = opt.store(cli_, value);
            if (ok && opt.check) ok = opt.check(value);
            if (!ok)
                return error(
                    fmt::format("invalid value '{}' for '{}': {}", value, display(opt), ok.error().message()));
        }
        return std::nullopt;
    }

    const Registry& registry_;
    const CommandSpec& command_;
    std::span<const std::string> tokens_;
    std::size_t next_ = 0;
    Cli cli_;
    std::vector<int> seen_;
};

// ---- the subcommand ------------------------------------------------------------

// `tokens` starts with the subcommand's name (or its family's).
ParseOutcome dispatch(const Registry& registry, std::span<const std::string> tokens) {
    const FamilySpec* family = registry.family(tokens[0]);
    if (!family) {
        const CommandSpec* command = registry.command("", tokens[0]);
        if (!command) return usage_error(fmt::format("unrecognized subcommand '{}'", tokens[0]), top_usage());
        return CommandParser(registry, *command, tokens.subspan(1)).parse();
    }
    const std::string usage = family_usage(family->name);
    if (tokens.size() == 1)
        return usage_error(
            fmt::format("'{} {}' requires a subcommand but one was not provided", kProgram, family->name), usage);
    const std::string_view name = tokens[1];
    if (name == "--help" || name == "-h") return print(registry.family_help(*family));
    if (name.starts_with('-')) return usage_error(fmt::format("unexpected argument '{}' found", name), usage);
    const CommandSpec* command = registry.command(family->name, name);
    if (!command) return usage_error(fmt::format("unrecognized subcommand '{}'", name), usage);
    return CommandParser(registry, *command, tokens.subspan(2)).parse();
}

// `binscope help [subcommand]`, or `binscope help FAMILY [subcommand]`.
ParseOutcome help_command(const Registry& registry, std::span<const std::string> tokens) {
    const auto extra = [&](std::size_t i) {
        return usage_error(fmt::format("unexpected argument '{}' found", tokens[i]), top_usage());
    };
    if (tokens.empty() || tokens[0] == "help") {
        if (tokens.size() > 1) return extra(1);
        return print(registry.top_help());
    }
    if (const FamilySpec* family = registry.family(tokens[0])) {
        if (tokens.size() == 1) return print(registry.family_help(*family));
        const CommandSpec* command = registry.command(family->name, tokens[1]);
        if (!command)
            return usage_error(fmt::format("unrecognized subcommand '{}'", tokens[1]), family_usage(family->name));
        if (tokens.size() > 2) return extra(2);
        return print(command_help(*command));
    }
    const CommandSpec* command = registry.command("", tokens[0]);
    if (!command) return usage_error(fmt::format("unrecognized subcommand '{}'", tokens[0]), top_usage());
    if (tokens.size() > 1) return extra(1);
    return print(command_help(*command));
}

}  // namespace

// ---- values ----------------------------------------------------------------------

// Values beyond the float range become infinities (or zero), as the
// decimal text rounds to them.
Result<double> parse_float(std::string_view text) {
    const auto invalid = fail("invalid float literal");
    std::string_view body = text;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
    bool special = equals_ignore_case(body, "inf") || equals_ignore_case(body, "infinity") ||
                   equals_ignore_case(body, "nan");
    if (!special) {
        std::size_t i = 0;
        std::size_t int_digits = 0, frac_digits = 0;
        while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++int_digits;
        if (i < body.size() && body[i] == '.') {
            ++i;
            while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++frac_digits;
        }
        if (int_digits + frac_digits == 0) return invalid;
        if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
            ++i;
            if (i < body.size() && (body[i] == '+' || body[i] == '-')) ++i;
            std::size_t exp_digits = 0;
            while (i < body.size() && body[i] >= '0' && body[i] <= '9') ++i, ++exp_digits;
            if (exp_digits == 0) return invalid;
        }
        if (i != body.size()) return invalid;
    }
    // The text is now known to be plain ASCII without hex or spaces, so
    // strtod (in the "C" locale the program never leaves) reads exactly it.
    const std::string copy(text);
    return std::strtod(copy.c_str(), nullptr);
}

Status store(bool& field, std::string_view) {
    field = true;
    return {};
}

Status store(std::int64_t& field, std::string_view value) {
    auto parsed = parse_integer<std::int64_t>(value, DigitCheck::whole_text_first);
    if (!parsed) return fail(std::move(parsed.error()));
    field = *parsed;
    return {};
}

Status store(std::size_t& field, std::string_view value) {
    auto parsed = parse_integer<std::size_t>(value, DigitCheck::whole_text_first);
    if (!parsed) return fail(std::move(parsed.error()));
    field = *parsed;
    return {};
}

Status store(double& field, std::string_view value) {
    auto parsed = parse_float(value);
    if (!parsed) return fail(std::move(parsed.error()));
    field = *parsed;
    return {};
}

Status store(std::string& field, std::string_view value) {
    field = value;
    return {};
}

std::string format_default(std::int64_t value) { return fmt::format("{}", value); }
std::string format_default(std::size_t value) { return fmt::format("{}", value); }
std::string format_default(double value) { return fmt::format("{}", value); }
std::string format_default(const std::string& value) { return value; }

// ---- the parse -------------------------------------------------------------------

ParseOutcome parse_with(std::span<const CommandSpec* const> commands, std::span<const FamilySpec> families,
                        const std::vector<std::string>& args) {
    const Registry registry(commands, families);
    if (args.size() <= 1) return ParseExit{registry.top_help(), true, 2};
    const std::span<const std::string> tokens(args.begin() + 1, args.end());
    const std::string_view first = tokens[0];
    const auto version = [] { return print(fmt::format("{} {}\n", kProgram, kVersion)); };
    if (first == "--") {
        // What follows is the subcommand name, taken literally.
        if (tokens.size() == 1)
            return usage_error(fmt::format("'{}' requires a subcommand but one was not provided", kProgram),
                               top_usage());
        return dispatch(registry, tokens.subspan(1));
    }
    if (first == "--help") return print(registry.top_help());
    if (first == "--version") return version();
    if (first.starts_with("--")) {
        const auto eq = first.find('=');
        const std::string_view name = first.substr(0, eq);
        if (eq != std::string_view::npos && (name == "--help" || name == "--version"))
            return usage_error(fmt::format("unexpected value '{}' for '{}' found; no more were expected",
                                           first.substr(eq + 1), name),
                               top_usage());
        return usage_error(fmt::format("unexpected argument '{}' found", name), top_usage());
    }
    if (first.size() > 1 && first.front() == '-') {
        // The top level has two short flags, -h and -V, and nothing else.
        if (first[1] == 'h') return print(registry.top_help());
        if (first[1] == 'V') return version();
        return usage_error(fmt::format("unexpected argument '-{}' found", first[1]), top_usage());
    }
    if (first == "help") return help_command(registry, tokens.subspan(1));
    return dispatch(registry, tokens);
}

}  // namespace binscope::cli
