// winter's command line: two labels, and the options that tune the year's
// speed without changing its results.
#pragma once
#include <string>
#include <vector>

#include "fast_year.h"
#include "outcome.h"

namespace seedbank::distribute {

struct winter_command {
    std::vector<std::string> labels;  // the words that are not options, in order
    year_settings settings;
};

// -j N / --threads N (N >= 1; default: the cores the process may use) and
// --png-level N (0..9; default: zlib's default level, the maps' usual
// bytes).  Every other word is a label, used verbatim as before (so "-h"
// is a label).  Fails with failure::kind::argument for a bad value.
status parse_winter_command(int argc, char **argv, winter_command &command);

}  // namespace seedbank::distribute
