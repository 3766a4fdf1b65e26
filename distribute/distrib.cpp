#include "distrib.h"

#include <algorithm>
#include <cstdio>

#include <gd.h>

#include "beta.h"
#include "cohort_schedule.h"
#include "owners.h"
#include "ranged_arrays.h"
#include "seed_map.h"

namespace seedbank::distribute {

namespace {

// pallet[v] is the colour index of count v in `map`.  A seed map's palette
// holds the 256 greys in index order, so this is v itself; looking the greys
// up keeps the written counts right whatever order they were allocated in.
void fill_pallet(unsigned char *pallet, gdImagePtr map)
{
    for (int value = 0; value <= 255; ++value)
        pallet[value] = static_cast<unsigned char>(gdImageColorExact(map, value, value, value));
}

}  // namespace

outcome<cohort_tally> distrib(unsigned char **new_seed, const std::string &file_in, const std::string &file_out,
                              float d_prob, float pred, std::vector<output_file> &outputs)
{
    owned_cvector pallet(0, 255);
    outcome<gd_image> read = read_seed_map(file_in);
    if (!read)
        return read.error();
    gdImagePtr im_1 = read.value().get();
    gd_image written_map;
    gdImagePtr im_2 = nullptr;
    if (!file_out.empty()) {
        written_map = create_seed_map(field_side, field_side);
        im_2 = written_map.get();
        fill_pallet(pallet.get(), im_2);
    }

    // Only cells that lie on a pixel of the map can hold seeds: the others
    // read 0, take no draw, leave the grid as it is and are written as 0,
    // which the new map already holds.  So the loops stop at the map's edge
    // (or at the field's, for a larger map), and empty cells are skipped;
    // the draws and every output are those of a visit of all 5000 x 5000.
    const int last_x = std::min(field_side, gdImageSX(im_1) - 1);
    const int last_y = std::min(field_side, gdImageSY(im_1) - 1);
    cohort_tally tally;

    // x outer, y inner: the order of the draws is part of the results.
    for (int x = 1; x <= last_x; ++x) {
        unsigned char *grid_column = new_seed[x];
        for (int y = 1; y <= last_y; ++y) {
            // read_seed_map accepts palette images only: the pixel is the count.
            const int count = im_1->pixels[y][x];
            if (count == 0)
                continue;

            // All predation draws of the cell first, then one dormancy draw
            // per survivor.
            int total = 0;
            for (int seed = 0; seed < count; ++seed)
                if (seed_survives(ibeta(1, 1), pred))
                    ++total;
            int dormants = 0;
            int germ = 0;
            for (int seed = 0; seed < total; ++seed) {
                if (seed_stays_dormant(ibeta(1, 1), d_prob))
                    ++dormants;
                else
                    ++germ;
            }

            // Germinations beyond 255 are dropped from the grid but counted.
            const int kept = std::min(grid_column[y] + germ, 255) - grid_column[y];
            grid_column[y] = static_cast<unsigned char>(grid_column[y] + kept);
            tally.seeds_read += count;
            tally.lost_to_predation += count - total;
            tally.germinated += germ;
            tally.dormant += dormants;
            tally.seedlings_kept += kept;
            // dormants <= count <= 255.  Cells on row or column 5000 have no
            // pixel in the 5000 x 5000 map written.
            if (im_2 != nullptr && x < field_side && y < field_side) {
                im_2->pixels[y][x] = pallet[dormants];
                tally.carried_over += dormants;
            }
        }
    }

    std::printf("\t\t%lld Seeds recruited from %s.\n\n", tally.germinated, file_in.c_str());
    if (im_2 != nullptr) {
        outcome<output_file> map = write_seed_map(im_2, file_out);
        if (!map)
            return map.error();
        outputs.push_back(std::move(map.value()));
    }
    return tally;
}

}  // namespace seedbank::distribute
