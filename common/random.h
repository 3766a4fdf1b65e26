// The one source of randomness: a multiplicative congruential generator
// (16807 mod 2^31 - 1, Schrage's decomposition) behind a 32-entry shuffle
// table that every stream of the process shares.  Each calling module keeps
// its own seed word; a seed word of 0 or less (re)fills the shared table.
#pragma once
#include <cstdint>

namespace seedbank {

// Next uniform deviate in [2^-31, 1 - 2^-23], single precision.
// Updates *idum and the shared shuffle table.  A seed word of 0 or less, and
// any seed word on the first call of the process, (re)fills the table: -s
// seeds with s; 0, positive values and INT32_MIN seed with 1.  The
// out-of-domain seed words -2147483647 and 2147483647 are stepped without
// undefined behaviour to a seed word of 0 (and, from -2147483647, an all-zero
// table and a returned 0.0f); the next call then re-seeds with 1.
float ran1(int32_t *idum);

// A uniform deviate rounded to an integer in 0..imax (ends carry half weight).
// Draws one uniform from this module's own stream (seed word starts at -1).
int rrandom(int imax);

// Permutes array[0..idim-1] in place; draws idim times through rrandom.
// Each partner is drawn from the whole range 0..idim-1 (not a uniform
// shuffle, on purpose).  idim <= 0 does nothing and draws nothing.
void shuffle(int **array, int idim);

// Puts the module back in the state of a freshly started process: shuffle
// table unfilled and rrandom's seed word at -1.  For tests and benchmarks,
// which need several fresh streams in one process.
void restart_random_module();

// --- The steps ran1 and rrandom are built from, exposed for tests. ---

// One generator step (Schrage): 16807 * s mod 2147483647 in 32-bit signed
// arithmetic.  Defined without overflow for every s in 0..2147483647
// (2147483647 and 0 map to 0).
int32_t ran1_step(int32_t s);

// The value ran1 returns for the table value iy taken out of the shuffle
// table: iy * 2^-31 * (1 + 2^-31) rounded once to single precision, clamped
// to 1 - 2^-23.  Table value 1 gives 2^-31; 2147483328..2147483646 give
// 1 - 2^-23.
float ran1_value(int32_t iy);

// rrandom's rounding of the uniform r: the exact product imax * r truncated
// toward zero, plus 1 only when the fraction exceeds 0.5.
int rrandom_round(int imax, float r);

}  // namespace seedbank
