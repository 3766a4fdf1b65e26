#include "speed_options.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace seedbank::distribute {

namespace {

// A whole decimal number within [low, high].
bool parse_number(const char *text, long low, long high, int &value)
{
    if (text == nullptr || *text == '\0')
        return false;
    char *end = nullptr;
    errno = 0;
    const long number = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || number < low || number > high)
        return false;
    value = static_cast<int>(number);
    return true;
}

}  // namespace

status parse_winter_command(int argc, char **argv, winter_command &command)
{
    command.settings.threads = available_cores();
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (word == "-j" || word == "--threads") {
            if (!parse_number(value, 1, 256, command.settings.threads))
                return failure{failure::kind::argument, "", word + " needs a number of threads from 1 to 256"};
            ++i;
        } else if (word == "--png-level") {
            if (!parse_number(value, 0, 9, command.settings.png_level))
                return failure{failure::kind::argument, "", "--png-level needs a compression level from 0 to 9"};
            ++i;
        } else {
            command.labels.push_back(word);
        }
    }
    return {};
}

}  // namespace seedbank::distribute
