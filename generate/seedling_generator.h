// A random starting population: floor(density) + 1 seedlings at uniformly
// drawn cells with both coordinates in 50..4949, written in drawing order as
// the seedling list "den_" + argument + ".dat".
#pragma once
#include <cstdint>

#include "outcome.h"

namespace seedbank::generate {

// How many seedlings a density asks for: every i = 0, 1, 2, ... with
// i <= density, compared exactly (an int converted to float is inexact above
// 2^24), so floor(density) + 1 for density >= 0, none for a negative or
// not-a-number density.
long long seedling_count(float density);

// Whether the argument is a density at all: after optional white space the
// whole word must read as a number the way strtod and atof read one (so
// "nan", "inf" and hexadecimal "0x10" are numbers; "abc", "", "5x" are not).
bool density_is_a_number(const char *argument);

// Runs the whole generator with the random stream seeded from
// `clock_seconds` (the program passes the current calendar time).  Prints
// the banner on standard output; fails when the density is too large or the
// list cannot be written.
status generate_seedlings(const char *argument, int64_t clock_seconds);

}  // namespace seedbank::generate
