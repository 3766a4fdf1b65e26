// The legend strip that --legend adds below a summary picture: the colour
// scale from 0 to the largest value with tick labels, what the values are,
// the palette step where there is one, and the name of the map shown.
//
// The picture itself is kept exactly: the legend image starts with the
// summary's palette, index for index, and its top 600 rows are the summary's
// pixels, so only the rows below differ from the plain picture.
#pragma once
#include <string>
#include <vector>

#include <gd.h>

#include "owners.h"
#include "summary_image.h"

namespace seedbank::summarize {

// How data values reach the ramp.
enum class legend_scale {
    block_totals,  // blockmap: entry 153 * total / largest, truncated
    cell_counts,   // stepmap: entry count * step, counts above 152 at 153 * step
};

struct legend_description {
    legend_scale scale;
    colour_ramp ramp;
    int largest;  // the largest block total or cell count, at least 1
    int step;     // the palette step of cell_counts; unused for block_totals
    std::string map_name;
};

constexpr int legend_height = 68;
// The colour bar: entry e (0..153) fills columns legend_bar_left + 3e .. + 2
// of rows legend_bar_top .. legend_bar_top + legend_bar_rows - 1.
constexpr int legend_bar_left = 10;
constexpr int legend_bar_top = summary_side + 33;
constexpr int legend_bar_rows = 14;
constexpr int legend_entry_width = 3;

// The ramp entry, 0 to 153, at which `value` is shown.
int legend_entry(const legend_description &legend, int value);

// The values labelled under the bar, from 0 to the largest value shown,
// without repeats.
std::vector<int> legend_ticks(const legend_description &legend);

// A new image of summary_side x (summary_side + legend_height): `summary`
// on top, unchanged, and the strip below.  Holds nothing when the image
// library cannot allocate it.  `summary` is left to its owner.
gd_image add_legend(gdImagePtr summary, const legend_description &legend);

}  // namespace seedbank::summarize
