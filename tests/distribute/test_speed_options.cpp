// winter's -j / --threads and --png-level, read through the shared command
// line.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "command_line.h"
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

class SpeedOptions : public ::testing::TestWithParam<command_case> {};

}  // namespace

TEST_P(SpeedOptions, GiveTheYearSettings)
{
    const command_case &c = GetParam();
    program_description program;
    program.name = "winter";
    program.options = {help_option(), threads_option(), png_level_option()};
    program.required_arguments = 2;
    std::vector<std::string> words = {"winter"};
    words.insert(words.end(), c.words.begin(), c.words.end());
    std::vector<const char *> argv;
    for (const std::string &word : words)
        argv.push_back(word.c_str());
    const command_line line = parse_command_line(program, static_cast<int>(argv.size()), argv.data());
    ASSERT_EQ(line.outcome, command_outcome::run) << line.error;
    year_settings settings;
    const status parsed = year_settings_from(line, settings);
    ASSERT_EQ(parsed.ok(), c.accepted) << parsed.error().reason;
    if (!c.accepted) {
        EXPECT_EQ(parsed.error().what, failure::kind::argument);
        return;
    }
    EXPECT_EQ(line.arguments, c.labels);
    EXPECT_EQ(settings.threads, c.threads == 0 ? available_cores() : c.threads);
    EXPECT_EQ(settings.png_level, c.png_level);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpeedOptions,
    ::testing::Values(
        command_case{"LabelsOnly", {"3", "4"}, true, {"3", "4"}, 0, -1},
        command_case{"ShortThreads", {"-j", "2", "3", "4"}, true, {"3", "4"}, 2, -1},
        command_case{"LongThreadsAfterLabels", {"3", "4", "--threads", "7"}, true, {"3", "4"}, 7, -1},
        command_case{"PngLevel", {"--png-level", "9", "3", "4"}, true, {"3", "4"}, 0, 9},
        command_case{"PngLevelZero", {"--png-level=0", "3", "4"}, true, {"3", "4"}, 0, 0},
        command_case{"ZeroThreads", {"-j", "0", "3", "4"}, false, {}, 0, -1},
        command_case{"ThreadsNotANumber", {"-j", "two", "3", "4"}, false, {}, 0, -1},
        command_case{"LevelTooHigh", {"--png-level", "10", "3", "4"}, false, {}, 0, -1},
        command_case{"LevelNegative", {"--png-level", "-1", "3", "4"}, false, {}, 0, -1},
        command_case{"LevelWithTrailingText", {"--png-level", "6x", "3", "4"}, false, {}, 0, -1}),
    [](const auto &instance) { return std::string(instance.param.name); });
