#include "step_summary.h"

#include "summary_margins.h"
#include "summary_image.h"

namespace seedbank::summarize {

int largest_cell_value(unsigned char **field)
{
    int largest = 1;
    for (int x = 1; x <= data_side; ++x) {
        const unsigned char *column = field[x];
        for (int y = 1; y <= data_side; ++y)
            if (column[y] > largest)
                largest = column[y];
    }
    return largest;
}

int palette_step(int largest)
{
    int step = ramp_entries / (largest < 1 ? 1 : largest);
    return step < 1 ? 1 : step;
}

}  // namespace seedbank::summarize
