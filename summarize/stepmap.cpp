// stepmap [options] seed-map: writes summary.png (or the -o file), the seed
// map shrunk tenfold with the seed counts spread over the colour ramp by a
// step derived from the largest count, beside bar charts of the row and
// column totals.
#include <cstdio>
#include <string>

#include "command_line.h"
#include "legend.h"
#include "output_file.h"
#include "program_edge.h"
#include "step_summary.h"
#include "summary_image.h"
#include "summary_margins.h"
#include "summary_options.h"

using namespace seedbank;
using namespace seedbank::summarize;

namespace {

const program_description stepmap_program = {
    .name = "stepmap",
    .usage = "usage: stepmap seed-map\n",
    .synopsis = "seed-map",
    .description =
        "Reads the seed map seed-map and writes the 600 x 600 summary picture summary.png:\n"
        "the field shrunk tenfold, the seed count of one cell in every 10 x 10 square on a\n"
        "blue-to-red ramp stepped by the largest count m (step 153 / m, at least 1), with\n"
        "bar charts of the row totals on the right and of the column totals below.  An\n"
        "earlier picture is replaced only by a complete new one.  Progress is printed on\n"
        "standard output.\n",
    .options = summary_options(),
    .required_arguments = 1,
    .exit_status = summary_exit_status,
};

}  // namespace

int main(int argc, char **argv)
{
    // Each progress line reaches a pipe when it is printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const command_line line = parse_command_line(stepmap_program, argc, argv);
    if (line.outcome != command_outcome::run)
        return finish_early(stepmap_program, line);
    if (!apply_quiet_option(stepmap_program, line))
        return 1;
    start_program();
    const std::string map_name = line.arguments[0];
    const std::string output_name = summary_output_name(line);
    recover_output_directory(output_name);
    run_arrays arrays;
    unsigned char **field = arrays.field.get();

    if (status opened = run_opening_stages(map_name, field, arrays.rows->get(), arrays.columns->get(),
                                           {"Done Clearing.\n\n", "Summarizing ...\n"});
        !opened)
        return report_failure(opened.error());
    arrays.free_totals();

    int largest = largest_cell_value(field);
    std::printf("\tMaximum Seed Value is %d\n", largest);
    int step = palette_step(largest);
    std::printf("\tStepping value for Pallet is %d\n\n", step);
    std::printf("Done.\n\n");

    const legend_description legend = {legend_scale::cell_counts, colour_ramp::red_blue, largest, step, map_name};
    std::printf("Creating Summary Image...\n");
    if (status written = make_summary_image(output_name, field, arrays.pallet.get(), step, colour_ramp::red_blue,
                                            line.has("legend") ? &legend : nullptr);
        !written)
        return report_failure(written.error());
    std::printf("Done.\n\n");
    return 0;
}
