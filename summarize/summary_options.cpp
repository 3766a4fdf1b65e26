#include "summary_options.h"

namespace seedbank::summarize {

std::vector<option_description> summary_options()
{
    return {
        help_option(),
        version_option(),
        quiet_option(),
        {'o', "output", "FILE", "write the picture to FILE instead of summary.png"},
        {'\0', "legend", "", "add a strip below the picture: the colour scale with tick labels and the map's name"},
    };
}

std::string summary_output_name(const command_line &line)
{
    return line.value_or("output", default_summary_name);
}

}  // namespace seedbank::summarize
