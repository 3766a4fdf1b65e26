// winter's own options, which tune the year's speed without changing its
// results.
#pragma once
#include "command_line.h"
#include "fast_year.h"
#include "outcome.h"

namespace seedbank::distribute {

// -j N / --threads N: the threads of the year.
option_description threads_option();
// --png-level N: zlib's compression level of the maps written.
option_description png_level_option();

// The settings the options ask for: threads 1..256 (default: the cores the
// process may use), png level 0..9 (default: zlib's default level, the
// maps' usual bytes).  Fails with failure::kind::argument for a bad value.
status year_settings_from(const command_line &line, year_settings &settings);

}  // namespace seedbank::distribute
