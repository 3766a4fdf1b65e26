// Cohort schedules read from a file: the six cohorts' d_prob and pred.
//
// The file is tab-separated text with a header line naming its columns.
// `d_prob` and `pred` are required; `cohort` is optional:
//
//   cohort  d_prob  pred         d_prob  pred
//   dorm5   0.48    0.8          0.48    0.8
//   ...                          ...
//   fresh   0.75    0.4          0.75    0.4
//
// With a `cohort` column the six rows are keyed by name (dorm5, dorm4, dorm3,
// dorm2, dorm1, fresh) in any order, each exactly once; without it the six
// rows are the cohorts oldest first.  Every value is parsed to single
// precision exactly as a C float literal of the same text would be (strtof),
// and must lie in [0, 1].  Blank lines and lines starting with '#' are
// skipped; a carriage return before a line feed is ignored.
#pragma once
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace seedbank::distribute {

struct cohort_probabilities {
    float d_prob;  // a seed that survived predation stays dormant
    float pred;    // a seed is lost to predation
};

// Oldest first, in the order the year runs the cohorts.
using cohort_probability_table = std::array<cohort_probabilities, 6>;

// The cohorts' names in the schedule file (and the stats file), oldest first.
inline constexpr std::array<const char *, 6> cohort_names = {"dorm5", "dorm4", "dorm3",
                                                             "dorm2", "dorm1", "fresh"};

// The probabilities compiled into winter.
cohort_probability_table built_in_probabilities();

// Parses the text of a schedule file.  Returns the table, or nothing with
// "<file_name>:<line>: <reason>" (or "<file_name>: <reason>") in `reason`.
std::optional<cohort_probability_table> parse_schedule(std::string_view text, const std::string &file_name,
                                                       std::string &reason);

// Reads and parses the schedule file `path`; a file that cannot be read is
// refused with "<path>: <system's reason>".
std::optional<cohort_probability_table> read_schedule_file(const std::string &path, std::string &reason);

}  // namespace seedbank::distribute
