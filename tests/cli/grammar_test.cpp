// grammar_test.cpp - subcommand families (`binscope FAMILY NAME`): dispatch,
// help and usage errors, on a registry made for the test.
#include "cli/grammar.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "cli/figure_commands.hpp"

namespace binscope::cli {
namespace {

const std::vector<OptionSpec>& family_options() {
    static const std::vector<OptionSpec> options = {
        option<&FigureArgs::matrix_file>({"matrixFile", 'm', "MATRIX_FILE", true, "The input"}),
        option<&FigureArgs::kmeans>({"kmeans", 0, "KMEANS", false, "A count"}, nullptr),
        with_lone_dash_value(option<&FigureArgs::plot_title>({"title", 0, "TITLE", false, "A text"})),
    };
    return options;
}

ParseOutcome parse(std::vector<std::string> args) {
    static const CommandSpec first{"fam", "first", "The first of the family", 7, family_options(),
                                   start_with<Heatmap>};
    static const CommandSpec second{"fam", "second", "The second of the family", 7,
                                    std::span(family_options()).first(1), start_with<Profile>};
    static const std::array commands = {&heatmap_command(), &first, &second};
    static const std::array families = {FamilySpec{"fam", "A family of two"}};
    args.insert(args.begin(), "binscope");
    return parse_with(commands, families, args);
}

TEST(CommandFamily, DispatchesToTheNamedMember) {
    const auto outcome = parse({"fam", "first", "-m", "x.gz", "--kmeans", "3"});
    const auto& heatmap = std::get<Heatmap>(std::get<Cli>(outcome).command);
    EXPECT_EQ(heatmap.figure.matrix_file, "x.gz");
    EXPECT_EQ(heatmap.figure.kmeans, 3u);
    EXPECT_TRUE(std::holds_alternative<Profile>(std::get<Cli>(parse({"fam", "second", "-m", "y"})).command));

    // A lone "-" is a value only where the row says so.
    const auto dash = parse({"fam", "first", "-m", "x.gz", "--title", "-"});
    ASSERT_TRUE(std::holds_alternative<Cli>(dash)) << std::get<ParseExit>(dash).text;
    EXPECT_EQ(std::get<Heatmap>(std::get<Cli>(dash).command).figure.plot_title, "-");
    const auto refused = parse({"fam", "first", "-m", "-", "--title", "t"});
    ASSERT_TRUE(std::holds_alternative<ParseExit>(refused));
    EXPECT_NE(std::get<ParseExit>(refused).text.find("a value is required for '--matrixFile <MATRIX_FILE>'"),
              std::string::npos);
}

// Each case: the arguments, the status and a text the output must hold.
TEST(CommandFamily, HelpAndUsageErrors) {
    const struct {
        std::vector<std::string> args;
        int status;
        std::string text;
    } cases[] = {
        {{"--help"}, 0, "  fam              A family of two\n  help"},
        {{"fam", "--help"}, 0, "A family of two\n\nUsage: binscope fam <COMMAND>\n\nCommands:\n"
                               "  first            The first of the family\n  second           The second"},
        {{"help", "fam"}, 0, "Usage: binscope fam <COMMAND>"},
        {{"help", "fam", "first"}, 0, "Usage: binscope fam first [OPTIONS] --matrixFile <MATRIX_FILE>"},
        {{"fam", "first", "-h"}, 0, "The first of the family\n\nUsage: binscope fam first"},
        {{"fam"}, 2, "error: 'binscope fam' requires a subcommand but one was not provided\n\n"
                     "Usage: binscope fam <COMMAND>"},
        {{"fam", "third"}, 2, "error: unrecognized subcommand 'third'\n\nUsage: binscope fam <COMMAND>"},
        {{"fam", "-x"}, 2, "error: unexpected argument '-x' found"},
        {{"help", "fam", "third"}, 2, "error: unrecognized subcommand 'third'"},
        {{"help", "fam", "first", "x"}, 2, "error: unexpected argument 'x' found"},
        {{"fam", "second", "-m", "y", "--kmeans", "2"}, 2,
         "error: unexpected argument '--kmeans' found\n\n  tip: '--kmeans' is an option of 'fam first'\n\n"
         "Usage: binscope fam second"},
        {{"fam", "first"}, 2, "the following required arguments were not provided:\n  --matrixFile <MATRIX_FILE>"},
        {{"--", "fam", "first", "-m", "z"}, -1, ""},
    };
    for (const auto& c : cases) {
        const auto outcome = parse(c.args);
        const auto* exit = std::get_if<ParseExit>(&outcome);
        if (c.status < 0) {
            EXPECT_EQ(exit, nullptr) << c.args[0];
            continue;
        }
        ASSERT_NE(exit, nullptr) << c.args.size();
        EXPECT_EQ(exit->status, c.status) << exit->text;
        EXPECT_EQ(exit->to_stderr, c.status != 0) << exit->text;
        EXPECT_NE(exit->text.find(c.text), std::string::npos) << exit->text;
    }
}

}  // namespace
}  // namespace binscope::cli
