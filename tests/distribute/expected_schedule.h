// The year's cohorts as the tests expect them, oldest first, written out
// independently of the program's own table, with the model's constants
// given by their single-precision bit patterns.
#pragma once
#include <cstdint>

struct cohort_row {
    const char *header;
    const char *input_prefix;
    const char *output_prefix;  // nullptr: no map written
    uint32_t d_prob, pred;
};

inline const cohort_row expected_cohorts[6] = {
    {"\t5 Year Dormant Seeds\n", "Dorm5_Yr", nullptr, 0x3EF5C28F, 0x3F4CCCCD},
    {"\t4 Year Dormant Seeds\n", "Dorm4_Yr", "Dorm5_Yr", 0x3F666666, 0x3F333333},
    {"\t3 Year Dormant Seeds\n", "Dorm3_Yr", "Dorm4_Yr", 0x3F733333, 0x3F19999A},
    {"\t2 Year Dormant Seeds\n", "Dorm2_Yr", "Dorm3_Yr", 0x3F63D70A, 0x3F000000},
    {"\t1 Year Dormant Seeds\n", "Dorm1_Yr", "Dorm2_Yr", 0x3F6147AE, 0x3EE66666},
    {"\tFresh Seeds\n\n", "Seeds_Yr", "Dorm1_Yr", 0x3F400000, 0x3ECCCCCD},
};
