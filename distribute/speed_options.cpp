#include "speed_options.h"

#include <cerrno>
#include <cstdlib>
#include <string>

namespace seedbank::distribute {

namespace {

// A whole decimal number within [low, high].
bool parse_number(const std::string &text, long low, long high, int &value)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    const long number = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || number < low || number > high)
        return false;
    value = static_cast<int>(number);
    return true;
}

}  // namespace

option_description threads_option()
{
    return {'j', "threads", "N", "use N threads (default: the cores available); the results do not change"};
}

option_description png_level_option()
{
    return {'\0', "png-level", "N", "compress the maps written at zlib level N, 0..9 (default: zlib's default)"};
}

status year_settings_from(const command_line &line, year_settings &settings)
{
    settings.threads = available_cores();
    if (line.has("threads") && !parse_number(line.value_or("threads", ""), 1, 256, settings.threads))
        return failure{failure::kind::argument, "", "--threads needs a number of threads from 1 to 256"};
    if (line.has("png-level") && !parse_number(line.value_or("png-level", ""), 0, 9, settings.png_level))
        return failure{failure::kind::argument, "", "--png-level needs a compression level from 0 to 9"};
    return {};
}

}  // namespace seedbank::distribute
