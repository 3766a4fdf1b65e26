// The shared command line: how words become options and arguments, which
// outcome wins, and the help and version texts.
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "command_line.h"

namespace {

using seedbank::command_outcome;

const seedbank::program_description example = {
    .name = "example",
    .usage = "usage: example seed-map\n",
    .synopsis = "seed-map",
    .description = "Reads a seed map.\n",
    .options = {seedbank::help_option(),
                seedbank::version_option(),
                seedbank::quiet_option(),
                {'o', "output", "FILE", "write to FILE"},
                {'\0', "legend", "", "add a legend"}},
    .required_arguments = 1,
    .exit_status = "  0  done\n",
};

struct parse_case {
    std::string name;
    std::vector<std::string> words;
    command_outcome outcome;
    std::vector<std::string> arguments;
    std::map<std::string, std::string> values;
    std::string error;
};

void PrintTo(const parse_case &c, std::ostream *out)
{
    *out << c.name;
}

seedbank::command_line parse(const std::vector<std::string> &words)
{
    std::vector<const char *> argv = {"example"};
    for (const std::string &word : words)
        argv.push_back(word.c_str());
    return seedbank::parse_command_line(example, static_cast<int>(argv.size()), argv.data());
}

class CommandLineParse : public ::testing::TestWithParam<parse_case> {};

TEST_P(CommandLineParse, SortsWordsIntoOptionsAndArguments)
{
    const parse_case &c = GetParam();
    const seedbank::command_line line = parse(c.words);
    EXPECT_EQ(line.outcome, c.outcome);
    EXPECT_EQ(line.arguments, c.arguments);
    EXPECT_EQ(line.values, c.values);
    EXPECT_EQ(line.error, c.error);
}

const auto run = command_outcome::run;
const auto help = command_outcome::help;
const auto version = command_outcome::version;
const auto usage_error = command_outcome::usage_error;

INSTANTIATE_TEST_SUITE_P(
    Words, CommandLineParse,
    ::testing::Values(
        parse_case{"argument_only", {"map.png"}, run, {"map.png"}, {}, ""},
        parse_case{"further_arguments_kept", {"map.png", "ignored"}, run, {"map.png", "ignored"}, {}, ""},
        parse_case{"negative_number_is_an_argument", {"-1"}, run, {"-1"}, {}, ""},
        parse_case{"lone_dash_is_an_argument", {"-"}, run, {"-"}, {}, ""},
        parse_case{"unknown_single_dash_word_is_an_argument", {"-x"}, run, {"-x"}, {}, ""},
        parse_case{"short_value_not_glued", {"-omap"}, run, {"-omap"}, {}, ""},
        parse_case{"short_help", {"-h"}, help, {}, {{"help", ""}}, ""},
        parse_case{"long_help", {"--help"}, help, {}, {{"help", ""}}, ""},
        parse_case{"help_needs_no_arguments_and_wins_over_mistakes",
                   {"--bogus", "-h"}, help, {}, {{"help", ""}}, "unknown option '--bogus'"},
        parse_case{"version", {"--version"}, version, {}, {{"version", ""}}, ""},
        parse_case{"help_wins_over_version", {"--version", "--help"}, help, {}, {{"help", ""}, {"version", ""}}, ""},
        parse_case{"unknown_long_option", {"--bogus", "map.png"}, usage_error, {"map.png"}, {},
                   "unknown option '--bogus'"},
        parse_case{"unknown_long_option_with_value", {"--bogus=1", "map.png"}, usage_error, {"map.png"}, {},
                   "unknown option '--bogus=1'"},
        parse_case{"double_dash_ends_options", {"--", "--help", "-h"}, run, {"--help", "-h"}, {}, ""},
        parse_case{"second_double_dash_is_an_argument", {"--", "--"}, run, {"--"}, {}, ""},
        parse_case{"short_value_is_the_next_word", {"-o", "out.png", "map.png"}, run, {"map.png"},
                   {{"output", "out.png"}}, ""},
        parse_case{"long_value_is_the_next_word", {"--output", "out.png", "map.png"}, run, {"map.png"},
                   {{"output", "out.png"}}, ""},
        parse_case{"long_value_after_equals", {"--output=out.png", "map.png"}, run, {"map.png"},
                   {{"output", "out.png"}}, ""},
        parse_case{"value_may_look_like_an_option", {"-o", "--help", "map.png"}, run, {"map.png"},
                   {{"output", "--help"}}, ""},
        parse_case{"empty_value_after_equals", {"--output=", "map.png"}, run, {"map.png"}, {{"output", ""}}, ""},
        parse_case{"last_value_wins", {"-o", "a.png", "-o", "b.png", "map.png"}, run, {"map.png"},
                   {{"output", "b.png"}}, ""},
        parse_case{"value_missing_at_the_end", {"map.png", "-o"}, usage_error, {"map.png"}, {},
                   "option '-o' needs a value"},
        parse_case{"long_value_missing_at_the_end", {"map.png", "--output"}, usage_error, {"map.png"}, {},
                   "option '--output' needs a value"},
        parse_case{"flag_given_a_value", {"--legend=yes", "map.png"}, usage_error, {"map.png"}, {},
                   "option '--legend' takes no value"},
        parse_case{"options_after_the_argument", {"map.png", "--legend", "-q"}, run, {"map.png"},
                   {{"legend", ""}, {"quiet", ""}}, ""},
        parse_case{"no_arguments", {}, usage_error, {}, {}, ""},
        parse_case{"options_but_no_argument", {"--legend"}, usage_error, {}, {{"legend", ""}}, ""}),
    [](const ::testing::TestParamInfo<parse_case> &param_info) { return param_info.param.name; });

TEST(CommandLineText, VersionIsTheProjectVersion)
{
    EXPECT_EQ(seedbank::version_text(example), std::string("example (seedbank) ") + PROJECT_VERSION + "\n");
}

TEST(CommandLineText, HelpShowsSynopsisDescriptionEveryOptionAndExitStatus)
{
    const std::string text = seedbank::help_text(example);
    EXPECT_EQ(text.rfind("usage: example [options] seed-map\n\nReads a seed map.\n\nOptions:\n", 0), 0u) << text;
    for (const char *line : {"  -h, --help         print this help and exit\n",
                             "      --version      print the version and exit\n",
                             "  -o, --output FILE  write to FILE\n", "      --legend       add a legend\n",
                             "  --                 ends the options"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    EXPECT_EQ(text.substr(text.size() - 24), "\nExit status:\n  0  done\n");
}

}  // namespace
