// blockmap seed-map: writes summary.png, the seed map shrunk tenfold with
// every 10 x 10 block scaled against the fullest block, beside bar charts
// of the row and column totals.
#include <cstdio>

#include "block_summary.h"
#include "output_file.h"
#include "program_edge.h"
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
    start_program();
    recover_output_directory("summary.png");
    run_arrays arrays;
    unsigned char **field = arrays.field.get();

    if (status opened = run_opening_stages(argv[1], field, arrays.rows->get(), arrays.columns->get(),
                                           {"Done.\n\n", "Summarizing ...\n\n"});
        !opened)
        return report_failure(opened.error());
    arrays.free_totals();

    std::printf("\tConboobulating...\n");
    int max_sum = block_maximum(field);
    std::printf("\tAveraging...\n");
    scale_blocks(field, max_sum);
    std::printf("Done.\n\n");

    int step = 1;
    std::printf("Creating Summary Image...\n");
    if (status written = make_summary_image("summary.png", field, arrays.pallet.get(), step, colour_ramp::green);
        !written)
        return report_failure(written.error());
    std::printf("Done.\n\n");
    return 0;
}
