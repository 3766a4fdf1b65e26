// winter's command line: labels, -j / --threads and --png-level.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "speed_options.h"

namespace {

using namespace seedbank;
using namespace seedbank::distribute;

struct command_case {
    const char *name;
    std::vector<std::string> words;  // after the program name
    bool accepted;
    std::vector<std::string> labels;
    int threads;    // 0: the default (the cores available)
    int png_level;
};

class WinterCommand : public ::testing::TestWithParam<command_case> {};

}  // namespace

TEST_P(WinterCommand, Parses)
{
    const command_case &c = GetParam();
    std::vector<std::string> words = {"winter"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    winter_command command;
    const status parsed = parse_winter_command(static_cast<int>(argv.size()), argv.data(), command);
    ASSERT_EQ(parsed.ok(), c.accepted) << parsed.error().reason;
    if (!c.accepted) {
        EXPECT_EQ(parsed.error().what, failure::kind::argument);
        return;
    }
    EXPECT_EQ(command.labels, c.labels);
    EXPECT_EQ(command.settings.threads, c.threads == 0 ? available_cores() : c.threads);
    EXPECT_EQ(command.settings.png_level, c.png_level);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WinterCommand,
    ::testing::Values(
        command_case{"LabelsOnly", {"3", "4"}, true, {"3", "4"}, 0, -1},
        command_case{"ShortThreads", {"-j", "2", "3", "4"}, true, {"3", "4"}, 2, -1},
        command_case{"LongThreadsAfterLabels", {"3", "4", "--threads", "7"}, true, {"3", "4"}, 7, -1},
        command_case{"PngLevels", {"--png-level", "0", "3", "--png-level", "9", "4"}, true, {"3", "4"}, 0, 9},
        command_case{"DashWordIsALabel", {"-h", "2"}, true, {"-h", "2"}, 0, -1},
        command_case{"ZeroThreads", {"-j", "0", "3", "4"}, false, {}, 0, -1},
        command_case{"ThreadsNotANumber", {"-j", "two", "3", "4"}, false, {}, 0, -1},
        command_case{"ThreadsMissing", {"3", "4", "-j"}, false, {}, 0, -1},
        command_case{"LevelTooHigh", {"--png-level", "10", "3", "4"}, false, {}, 0, -1},
        command_case{"LevelNegative", {"--png-level", "-1", "3", "4"}, false, {}, 0, -1},
        command_case{"LevelWithTrailingText", {"--png-level", "6x", "3", "4"}, false, {}, 0, -1}),
    [](const auto &instance) { return std::string(instance.param.name); });
