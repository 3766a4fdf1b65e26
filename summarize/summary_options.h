// The command line that blockmap and stepmap share: their options, the
// name of the picture they write and their exit status.
#pragma once
#include <string>
#include <vector>

#include "command_line.h"

namespace seedbank::summarize {

constexpr const char *default_summary_name = "summary.png";

// -h, --version, -q, -o FILE and --legend.
std::vector<option_description> summary_options();

// The picture's file name: the -o value, or summary.png.
std::string summary_output_name(const command_line &line);

inline const char *const summary_exit_status =
    "  0  the picture was written\n"
    "  1  the seed map could not be read or is not a seed map, the picture could not\n"
    "     be written, or the command line was wrong; no earlier picture was replaced\n";

}  // namespace seedbank::summarize
