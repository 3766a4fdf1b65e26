// The six cohorts of one year, oldest first, and the names of their maps.
//
// All random draws of a year come from one stream, so this order is part of
// the results: running the cohorts in any other order changes every output.
#pragma once
#include <string>

namespace seedbank::distribute {

// The field is field_side x field_side cells, numbered from 1 in both
// directions.
constexpr int field_side = 5000;

struct cohort_step {
    const char *header;         // printed before the cohort runs
    const char *input_prefix;   // map read: prefix + input label + ".png"
    const char *output_prefix;  // map written: prefix + output label + ".png"; nullptr: none
    float d_prob;               // a seed that survived predation stays dormant
    float pred;                 // a seed is lost to predation
};

// The probabilities are single-precision values and are compared as such.
inline constexpr cohort_step cohort_schedule[6] = {
    {"\t5 Year Dormant Seeds\n", "Dorm5_Yr", nullptr, 0.48f, 0.8f},
    {"\t4 Year Dormant Seeds\n", "Dorm4_Yr", "Dorm5_Yr", 0.9f, 0.7f},
    {"\t3 Year Dormant Seeds\n", "Dorm3_Yr", "Dorm4_Yr", 0.95f, 0.6f},
    {"\t2 Year Dormant Seeds\n", "Dorm2_Yr", "Dorm3_Yr", 0.89f, 0.5f},
    {"\t1 Year Dormant Seeds\n", "Dorm1_Yr", "Dorm2_Yr", 0.88f, 0.45f},
    {"\tFresh Seeds\n\n", "Seeds_Yr", "Dorm1_Yr", 0.75f, 0.4f},
};

// "Dorm3_Yr" + "4" + ".png".  Labels are used verbatim, of any length.
inline std::string seed_map_name(const char *prefix, const std::string &label)
{
    return prefix + label + ".png";
}

// The year's seedling list: "Seeds_Yr" + label + ".dat".
inline std::string seedling_list_name(const std::string &label)
{
    return "Seeds_Yr" + label + ".dat";
}

}  // namespace seedbank::distribute
