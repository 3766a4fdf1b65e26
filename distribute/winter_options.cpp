#include "winter_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>

namespace seedbank::distribute {

namespace {

constexpr long largest_seed = 2147483646;  // ran1's seeds run from 1 to 2^31 - 2

std::optional<int32_t> parse_seed(const std::string &text, std::string &problem)
{
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end != text.c_str() + text.size() || errno != 0 || value < 1 || value > largest_seed ||
        text.front() == ' ' || text.front() == '+') {
        problem = "--seed needs a whole number from 1 to 2147483646, not '" + text + "'";
        return std::nullopt;
    }
    return static_cast<int32_t>(value);
}

// The value of option `name`, refused when given empty.
bool take_value(const command_line &line, const std::string &name, std::string &value, std::string &problem)
{
    if (!line.has(name))
        return true;
    value = line.value_or(name, "");
    if (value.empty()) {
        problem = "--" + name + " needs a non-empty value";
        return false;
    }
    return true;
}

}  // namespace

std::vector<option_description> scenario_options()
{
    return {
        {'\0', "seed", "N", "start the year's stream from seed N (1..2147483646; default 911)"},
        {'\0', "schedule", "FILE", "read each cohort's d_prob and pred from FILE"},
        {'\0', "input-dir", "DIR", "read the six seed maps from DIR"},
        {'\0', "output-dir", "DIR", "write the outputs into DIR (it must exist)"},
        {'\0', "stats", "FILE", "write a CSV account of the year to FILE"},
    };
}

std::optional<winter_options> winter_options_from(const command_line &line, std::string &problem)
{
    winter_options options;
    options.input_label = line.arguments.at(0);
    options.output_label = line.arguments.at(1);
    std::string seed;
    if (!take_value(line, "seed", seed, problem) || !take_value(line, "schedule", options.schedule_file, problem) ||
        !take_value(line, "input-dir", options.input_dir, problem) ||
        !take_value(line, "output-dir", options.output_dir, problem) ||
        !take_value(line, "stats", options.stats_file, problem))
        return std::nullopt;
    if (line.has("seed")) {
        const std::optional<int32_t> parsed = parse_seed(seed, problem);
        if (!parsed)
            return std::nullopt;
        options.seed = *parsed;
    }
    return options;
}

std::string in_directory(const std::string &directory, const std::string &name)
{
    if (directory.empty())
        return name;
    if (directory.back() == '/')
        return directory + name;
    return directory + "/" + name;
}

std::optional<std::string> directory_problem(const std::string &directory)
{
    struct stat status;
    if (stat(directory.c_str(), &status) != 0)
        return std::string(std::strerror(errno));
    if (!S_ISDIR(status.st_mode))
        return std::string("not a directory");
    return std::nullopt;
}

}  // namespace seedbank::distribute
