// The fate of one cohort of seeds on the whole field.
#pragma once
#include <string>
#include <vector>

#include "outcome.h"
#include "output_file.h"

namespace seedbank::distribute {

// What became of one cohort's seeds.  seeds_read = lost_to_predation +
// germinated + dormant.  seedlings_kept counts the germinations the grid
// took in, after its saturation at 255.  carried_over counts the dormant
// seeds written to the output map: all of them, except for the oldest cohort
// (no map) and cells of a larger input map that lie outside the written one.
struct cohort_tally {
    long long seeds_read = 0;
    long long lost_to_predation = 0;
    long long germinated = 0;
    long long dormant = 0;
    long long seedlings_kept = 0;
    long long carried_over = 0;
};

// Decides, seed by seed, whether each seed of the map `file_in` is lost to
// predation (probability `pred`), germinates into its cell of `new_seed`
// (saturating at 255) or stays dormant (probability `d_prob` once it
// survived).  The dormant survivors are written as the seed map `file_out`,
// which is appended to `outputs`, pending until the caller commits them; an
// empty `file_out` writes no map (the oldest cohort, whose dormant seeds
// leave the seed bank).  Prints the number of seeds recruited.  Fails when
// the map cannot be read or the output cannot be written.
//
// `new_seed` is the field grid, indexed [x][y] with both from 1 to 5000.
// Every seed takes one ibeta(1, 1) deviate for predation and every survivor
// one more for dormancy, cells visited with x outer and y inner.
//
// Returns the cohort's account of its seeds (see cohort_tally).
outcome<cohort_tally> distrib(unsigned char **new_seed, const std::string &file_in, const std::string &file_out,
                              float d_prob, float pred, std::vector<output_file> &outputs);

// The two decisions.  The deviate is compared unrounded, in extended
// precision; 1 - pred is exact in double for any single-precision pred, and
// d_prob enters at its single-precision value.  A deviate equal to the
// threshold survives, and stays dormant.
inline bool seed_survives(long double deviate, float pred)
{
    return deviate <= 1.0 - static_cast<double>(pred);
}

inline bool seed_stays_dormant(long double deviate, float d_prob)
{
    return deviate <= d_prob;
}

}  // namespace seedbank::distribute
