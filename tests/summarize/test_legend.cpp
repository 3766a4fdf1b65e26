// Where the legend places values on its colour bar and which it labels.
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "legend.h"

using namespace seedbank::summarize;

namespace {

using seedbank::summarize::legend_description;
using seedbank::summarize::legend_scale;

struct scale_case {
    std::string name;
    legend_description legend;
    std::vector<std::pair<int, int>> value_entries;  // (value, ramp entry)
    std::vector<int> ticks;
};

void PrintTo(const scale_case &c, std::ostream *out)
{
    *out << c.name;
}

class LegendScale : public ::testing::TestWithParam<scale_case> {};

TEST_P(LegendScale, PlacesValuesWhereThePictureShowsThem)
{
    const scale_case &c = GetParam();
    for (const auto &[value, entry] : c.value_entries)
        EXPECT_EQ(seedbank::summarize::legend_entry(c.legend, value), entry) << "value " << value;
    EXPECT_EQ(seedbank::summarize::legend_ticks(c.legend), c.ticks);
}

legend_description blocks(int largest)
{
    return {legend_scale::block_totals, colour_ramp::green, largest, 1, "map.png"};
}

legend_description cells(int largest, int step)
{
    return {legend_scale::cell_counts, colour_ramp::red_blue, largest, step, "map.png"};
}

INSTANTIATE_TEST_SUITE_P(
    Scales, LegendScale,
    ::testing::Values(
        // The block scaling truncates 153 * total / largest: a total of 5 of 10 shows entry 76.
        scale_case{"blocks_up_to_10", blocks(10), {{0, 0}, {1, 15}, {5, 76}, {10, 153}},
                   {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        scale_case{"blocks_up_to_1", blocks(1), {{0, 0}, {1, 153}}, {0, 1}},
        scale_case{"blocks_up_to_25500", blocks(25500), {{6375, 38}, {12750, 76}, {25500, 153}},
                   {0, 6375, 12750, 19125, 25500}},
        // stepmap: count * step, every count above 152 on entry 153.
        scale_case{"cells_up_to_1", cells(1, 153), {{0, 0}, {1, 153}}, {0, 1}},
        scale_case{"cells_up_to_2", cells(2, 76), {{1, 76}, {2, 152}}, {0, 1, 2}},
        scale_case{"cells_up_to_51", cells(51, 3), {{1, 3}, {51, 153}}, {0, 12, 25, 38, 51}},
        scale_case{"cells_up_to_200", cells(200, 1), {{152, 152}, {153, 153}, {200, 153}}, {0, 38, 76, 114, 153}}),
    [](const ::testing::TestParamInfo<scale_case> &param_info) { return param_info.param.name; });

}  // namespace
