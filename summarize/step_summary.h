// The stepped palette of stepmap: the data values are shown as they are,
// spread over the colour ramp by a whole-number step.
#pragma once

namespace seedbank::summarize {

// The largest value of the data area (margins excluded), never less than 1.
int largest_cell_value(unsigned char **field);

// 153 / m, truncated, but at least 1.
int palette_step(int largest);

}  // namespace seedbank::summarize
