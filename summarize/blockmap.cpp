// blockmap seed-map: writes summary.png, the seed map shrunk tenfold with
// every 10 x 10 block scaled against the fullest block, beside bar charts
// of the row and column totals.
#include <cstdio>

#include "block_summary.h"
#include "summary_image.h"
#include "summary_margins.h"

using namespace seedbank;
using namespace seedbank::summarize;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: blockmap seed-map\n");
        return 1;
    }
    run_arrays &arrays = allocate_run_arrays();
    unsigned char **field = arrays.field;

    run_opening_stages(argv[1], field, arrays.rows, arrays.columns, {"Done.\n\n", "Summarizing ...\n\n"});
    free_totals(arrays);

    std::printf("\tConboobulating...\n");
    int max_sum = block_maximum(field);
    std::printf("\tAveraging...\n");
    scale_blocks(field, max_sum);
    std::printf("Done.\n\n");

    int step = 1;
    std::printf("Creating Summary Image...\n");
    make_summary_image("summary.png", field, arrays.pallet, step, colour_ramp::green);
    std::printf("Done.\n\n");

    free_run_arrays();
    return 0;
}
