// winter's scenario options: the stream's seed, a schedule file, the
// directories of the maps, and a stats file.
//
//   winter [--seed N] [--schedule FILE] [--input-dir DIR] [--output-dir DIR]
//          [--stats FILE] input-label output-label
//
// The words are sorted by the shared command-line parser (command_line.h);
// this module describes the options and turns their values into settings.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "command_line.h"

namespace seedbank::distribute {

// The starting seed of the year's stream when none is given: the stream
// starts from seed word -911.
inline constexpr int32_t default_winter_seed = 911;

struct winter_options {
    std::string input_label;
    std::string output_label;
    int32_t seed = default_winter_seed;  // the stream starts from seed word -seed
    std::string schedule_file;           // empty: the built-in schedule
    std::string input_dir;               // empty: the current directory
    std::string output_dir;              // empty: the current directory
    std::string stats_file;              // empty: no stats written
};

// The five options, for the program's description.
std::vector<option_description> scenario_options();

// The settings of a command line that parsed, or nothing with the reason in
// `problem` (a seed out of range, an empty value).
std::optional<winter_options> winter_options_from(const command_line &line, std::string &problem);

// `name` inside `directory`; the name itself when the directory is empty.
std::string in_directory(const std::string &directory, const std::string &name);

// Checks that `directory` exists and is a directory; otherwise returns why not.
std::optional<std::string> directory_problem(const std::string &directory);

}  // namespace seedbank::distribute
