// The stats file of one year: a CSV record of what became of every cohort.
//
// A header line, then one row per cohort, oldest first, and a last row
// "all" with the sums over the cohorts:
//
//   input_label,output_label,seed,schedule,cohort,d_prob,pred,seeds_read,
//   lost_to_predation,germinated,dormant,carried_over,seedlings_kept
//
// seed is the run's starting seed, schedule the schedule file as given (or
// "built-in"), d_prob and pred the cohort's probabilities with nine
// significant digits (enough to read back the same single-precision value;
// empty in the row "all").  The counts are those of cohort_tally.  In the
// row "all", seedlings_kept is the number of seedlings in the year's list:
// the sum of the cohorts' seedlings_kept, or 1 when no seed germinated and
// the list holds the one seedling of the floor.  Text fields are quoted
// when they hold a comma, a quote or a line break (quotes doubled).
#pragma once
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "distrib.h"
#include "schedule_file.h"

namespace seedbank::distribute {

struct year_record {
    std::string input_label;
    std::string output_label;
    int32_t seed = 0;
    std::string schedule;  // the file given, or "built-in"
    cohort_probability_table probabilities{};
    std::array<cohort_tally, 6> cohorts{};
    long long seedlings_listed = 0;
};

// `text` as one CSV field.
std::string csv_field(const std::string &text);

void write_year_stats(FILE *stream, const year_record &record);

}  // namespace seedbank::distribute
