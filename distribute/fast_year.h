// The year's six cohort runs, fast: the same draws, decisions, messages and
// bytes as distrib, cohort by cohort, with the work spread over threads.
//
// - The deviates come as ranks among the schedule's twelve thresholds from a
//   rank_stream, made ahead by the producer threads.
// - The next cohort's map is read and decoded while the current one is
//   walked, into a column-major plane (x outer, as the walk reads it).
// - Each finished dormant map is compressed on its own thread while the
//   next cohort is walked.
// - Messages keep their order: text that follows a map still being written
//   is held until that map is written and closed, so a write that fails
//   stops the run exactly where the plain run would, with nothing printed
//   after the cohort line that precedes it.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "cohort_schedule.h"
#include "deviate_engine.h"
#include "distrib.h"
#include "outcome.h"
#include "output_file.h"
#include "rank_stream.h"

namespace seedbank::distribute {

struct year_settings {
    int threads = 1;           // 1: no thread is started
    int png_level = -1;        // zlib's compression level; -1 its default
    int32_t seed_word = default_seed_word;
};

// The cores this process may run on (at least 1).
int available_cores();

// One cohort run of the year: what distrib is given.
struct cohort_run {
    std::string header;    // printed before the cohort runs
    std::string file_in;   // the map read
    std::string file_out;  // the map written; empty: none
    float d_prob;
    float pred;
};

// The built-in year of `input_label` to `output_label`, in the current
// directory.
std::vector<cohort_run> built_in_year(const std::string &input_label, const std::string &output_label);

// 1 - pred (formed in double from the single-precision pred) and d_prob of
// every run: the only values a deviate is ever compared with.
std::vector<double> year_thresholds(std::span<const cohort_run> runs);

// A seed map's cells as the walk reads them: column x (1..last_x) holds
// the counts of y = 1..last_y at (x - 1) * last_y + (y - 1).
struct cell_plane {
    int last_x = 0;
    int last_y = 0;
    std::vector<uint8_t> counts;
};

// The fate of one cohort's seeds from its cells, deciding each with ranks:
// a seed survives when its rank is at most `survive_index`, a survivor stays
// dormant when its rank is at most `dormant_index`.  Adds the germinations
// to `new_seed` (saturating at 255) and returns the cohort's account, as
// distrib's (`writes_map`: the dormant seeds are carried over into a map).
// Each cell's count is replaced by its dormant seeds (never more than the
// count), so the plane becomes the cohort's dormant map without a second
// one.
cohort_tally walk_cohort(unsigned char **new_seed, cell_plane &cells, rank_stream &stream, uint8_t survive_index,
                         uint8_t dormant_index, bool writes_map);

// Prints "Distributing:", runs the cohorts in order as distrib would and
// prints "Done."; every dormant map is written, closed and appended to
// `outputs` (pending until the caller commits them) when it returns.
// Returns each cohort's account.  Fails where the plain cohort runs fail,
// with what they printed before the failure printed and nothing else.
outcome<std::vector<cohort_tally>> distribute_cohorts_fast(unsigned char **new_seeds,
                                                           std::span<const cohort_run> runs,
                                                           const year_settings &settings,
                                                           std::vector<output_file> &outputs);

}  // namespace seedbank::distribute
