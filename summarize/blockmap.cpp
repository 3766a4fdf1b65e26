// blockmap [options] seed-map: writes summary.png (or the -o file), the seed
// map shrunk tenfold with every 10 x 10 block scaled against the fullest
// block, beside bar charts of the row and column totals.
#include <cstdio>
#include <string>

#include "block_summary.h"
#include "command_line.h"
#include "legend.h"
#include "output_file.h"
#include "program_edge.h"
#include "summary_image.h"
#include "summary_margins.h"
#include "summary_options.h"

using namespace seedbank;
using namespace seedbank::summarize;

namespace {

const program_description blockmap_program = {
    .name = "blockmap",
    .usage = "usage: blockmap seed-map\n",
    .synopsis = "seed-map",
    .description =
        "Reads the seed map seed-map and writes the 600 x 600 summary picture summary.png:\n"
        "the field shrunk tenfold, every 10 x 10 block of cells shown by its seed total\n"
        "scaled against the fullest block (white for none, darkest green for the\n"
        "fullest), with bar charts of the row totals on the right and of the column\n"
        "totals below.  An earlier picture is replaced only by a complete new one.\n"
        "Progress is printed on standard output.\n",
    .options = summary_options(),
    .required_arguments = 1,
    .exit_status = summary_exit_status,
};

}  // namespace

int main(int argc, char **argv)
{
    // Each progress line reaches a pipe when it is printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const command_line line = parse_command_line(blockmap_program, argc, argv);
    if (line.outcome != command_outcome::run)
        return finish_early(blockmap_program, line);
    if (!apply_quiet_option(blockmap_program, line))
        return 1;
    start_program();
    const std::string map_name = line.arguments[0];
    const std::string output_name = summary_output_name(line);
    recover_output_directory(output_name);
    run_arrays arrays;
    unsigned char **field = arrays.field.get();

    if (status opened = run_opening_stages(map_name, field, arrays.rows->get(), arrays.columns->get(),
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
    const legend_description legend = {legend_scale::block_totals, colour_ramp::green, max_sum, step, map_name};
    std::printf("Creating Summary Image...\n");
    if (status written = make_summary_image(output_name, field, arrays.pallet.get(), step, colour_ramp::green,
                                            line.has("legend") ? &legend : nullptr);
        !written)
        return report_failure(written.error());
    std::printf("Done.\n\n");
    return 0;
}
