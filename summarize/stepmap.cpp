// stepmap seed-map: writes summary.png, the seed map shrunk tenfold with the
// seed counts spread over the colour ramp by a step derived from the largest
// count, beside bar charts of the row and column totals.
#include <cstdio>

#include "output_file.h"
#include "program_edge.h"
#include "step_summary.h"
#include "summary_image.h"
#include "summary_margins.h"

using namespace seedbank;
using namespace seedbank::summarize;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: stepmap seed-map\n");
        return 1;
    }
    start_program();
    recover_output_directory("summary.png");
    run_arrays arrays;
    unsigned char **field = arrays.field.get();

    if (status opened = run_opening_stages(argv[1], field, arrays.rows->get(), arrays.columns->get(),
                                           {"Done Clearing.\n\n", "Summarizing ...\n"});
        !opened)
        return report_failure(opened.error());
    arrays.free_totals();

    int largest = largest_cell_value(field);
    std::printf("\tMaximum Seed Value is %d\n", largest);
    int step = palette_step(largest);
    std::printf("\tStepping value for Pallet is %d\n\n", step);
    std::printf("Done.\n\n");

    std::printf("Creating Summary Image...\n");
    if (status written = make_summary_image("summary.png", field, arrays.pallet.get(), step, colour_ramp::red_blue);
        !written)
        return report_failure(written.error());
    std::printf("Done.\n\n");
    return 0;
}
