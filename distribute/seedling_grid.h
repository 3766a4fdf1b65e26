// The grid of the year's seedlings and its seedling list.
#pragma once
#include <cstdio>

namespace seedbank::distribute {

// Sets every cell of the field grid to 0.
void clear_grid(unsigned char **new_seeds);

// The number of seedlings on the grid.  Up to 255 x 25 000 000, so wider
// than an int.
long long grid_total(unsigned char **new_seeds);

// Writes one line per seedling, x outer and y inner, so the lines are sorted
// by x, then y; a cell with c seedlings gives c identical lines.  Returns the
// number of lines written.  The lines are formatted by hand in large blocks
// (see seedling_lines.h); a build with SEEDBANK_REFERENCE_PATHS prints them
// one by one instead.
long long write_seedling_grid(FILE *list, unsigned char **new_seeds);

// The same list printed line by line through the stream's formatter: the
// reference that write_seedling_grid must match byte for byte.
long long write_seedling_grid_plainly(FILE *list, unsigned char **new_seeds);

}  // namespace seedbank::distribute
