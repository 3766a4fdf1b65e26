// The block stages of blockmap: every 10 x 10 block of the data area is
// scaled against the fullest block into 0..153.
#pragma once

namespace seedbank::summarize {

// Rounds `value` up when its fractional part is at least `cutoff`, down
// otherwise (halves go up, towards plus infinity, with cutoff 0.5).
// A whole value comes back unchanged.
int round(float value, float cutoff);

// The largest total of a 10 x 10 block, block (i, j) covering
// x = 10i - 9..10i and y = 10j - 9..10j.  Never less than 1: a map without
// seeds is scaled against 1, which leaves every data cell at 0.
int block_maximum(unsigned char **field);

// Replaces every data cell by 153 * running sum / max_sum, truncated, where
// the running sum adds up its block's cells in visiting order (x outer,
// y inner) up to and including the cell.  The last cell of a block,
// (10i, 10j), so holds the scaled block total.
void scale_blocks(unsigned char **field, int max_sum);

}  // namespace seedbank::summarize
