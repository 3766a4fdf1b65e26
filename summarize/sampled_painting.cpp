#include "sampled_painting.h"

#include "summary_image.h"
#include "summary_margins.h"

namespace seedbank::summarize {

void paint_sampled_pixels(gdImagePtr image, unsigned char **field, const unsigned char *pallet, int step)
{
    // The colour of each of the 256 cell values, looked up once.
    unsigned char data_colour[256], margin_colour[256];
    for (int v = 0; v < 256; ++v) {
        data_colour[v] = pallet[data_pallet_position(v, step)];
        margin_colour[v] = pallet[v];
    }
    for (int e = 1; e < summary_side; ++e) {
        const int y = shrink_factor * e;
        unsigned char *row = image->pixels[e];
        for (int d = 1; d < summary_side; ++d) {
            const int x = shrink_factor * d;
            const unsigned char value = field[x][y];
            if (x <= data_side && y <= data_side)
                row[d] = data_colour[value];
            else if (x <= data_side || y <= data_side)
                row[d] = margin_colour[value];
        }
    }
}

}  // namespace seedbank::summarize
