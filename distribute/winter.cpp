// winter [options] input-label output-label: advances the seed bank by one year.
//
// Reads the six seed maps of the input year, decides the fate of every seed
// cohort by cohort, oldest first, and writes the five maps of the dormant
// seeds and the list of new seedlings under the output label.  Every output
// is written to a temporary file and all of them are put in place together
// once the whole year succeeded, so a failed run replaces nothing.
#include <cstdio>
#include <string>
#include <vector>

#include "cohort_schedule.h"
#include "command_line.h"
#include "distrib.h"
#include "output_file.h"
#include "owners.h"
#include "program_edge.h"
#include "seedling_grid.h"
#include "seedling_list.h"

using namespace seedbank;
using namespace seedbank::distribute;

namespace {

const seedbank::program_description winter_program = {
    .name = "winter",
    .usage = "usage: winter input-label output-label\n",
    .synopsis = "input-label output-label",
    .description =
        "Advances the seed bank by one year.  Reads the six seed maps of the input year,\n"
        "Dorm5_YrIN.png, Dorm4_YrIN.png, ... Dorm1_YrIN.png and Seeds_YrIN.png (IN is\n"
        "input-label), decides the fate of every seed cohort by cohort, oldest first, and\n"
        "writes the seed maps of the dormant seeds, Dorm1_YrOUT.png ... Dorm5_YrOUT.png,\n"
        "and the list of new seedlings, Seeds_YrOUT.dat (OUT is output-label).  The\n"
        "outputs replace earlier files only once the whole year succeeded.  Progress is\n"
        "printed on standard output.\n",
    .options = {seedbank::help_option(), seedbank::version_option(), seedbank::quiet_option()},
    .required_arguments = 2,
    .exit_status = "  0  the year was written\n"
                   "  1  a seed map could not be read, an output could not be written, or the\n"
                   "     command line was wrong; no output was replaced\n",
};

status distribute_cohorts(unsigned char **new_seeds, const std::string &input_label, const std::string &output_label,
                          std::vector<output_file> &outputs)
{
    std::printf("Distributing:\n");
    for (const cohort_step &step : cohort_schedule) {
        std::printf("%s", step.header);
        const std::string file_out =
            step.output_prefix != nullptr ? seed_map_name(step.output_prefix, output_label) : "";
        if (status ran = distrib(new_seeds, seed_map_name(step.input_prefix, input_label), file_out, step.d_prob,
                                 step.pred, outputs);
            !ran)
            return ran;
    }
    std::printf("Done.\n\n");
    return {};
}

// Writes the grid as the seedling list and puts every output of the year in
// place.  Returns the number of seedlings written.
outcome<long long> write_year(unsigned char **new_seeds, const std::string &seeds_out,
                              std::vector<output_file> &outputs)
{
    outcome<output_file> list = open_seedling_list(seeds_out);
    if (!list)
        return list.error();
    std::printf("Writing Data File\n");
    const long long total = write_seedling_grid(list.value().stream(), new_seeds);
    outputs.push_back(std::move(list.value()));
    if (status committed = commit_outputs(outputs); !committed)
        return committed.error();
    return total;
}

}  // namespace

int main(int argc, char **argv)
{
    // Each progress line reaches a pipe when it is printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const seedbank::command_line line = seedbank::parse_command_line(winter_program, argc, argv);
    if (line.outcome != seedbank::command_outcome::run)
        return seedbank::finish_early(winter_program, line);
    if (!seedbank::apply_quiet_option(winter_program, line))
        return 1;
    start_program();
    const std::string input_label = line.arguments[0];
    const std::string output_label = line.arguments[1];

    // A year killed half committed is rolled back before anything is read.
    recover_output_directory(seedling_list_name(output_label));
    for (const cohort_step &step : cohort_schedule)
        if (step.output_prefix != nullptr)
            recover_output_directory(seed_map_name(step.output_prefix, output_label));

    owned_cmatrix new_seeds(1, field_side, 1, field_side);

    std::printf("\nClearing out Matrix ....\n");
    clear_grid(new_seeds.get());
    std::printf("Done.\n\n");

    std::vector<output_file> outputs;
    if (status distributed = distribute_cohorts(new_seeds.get(), input_label, output_label, outputs); !distributed)
        return report_failure(distributed.error());

    // The list is never empty: a year without germination gets one seedling.
    if (grid_total(new_seeds.get()) == 0)
        new_seeds[100][100] = 1;

    const outcome<long long> total = write_year(new_seeds.get(), seedling_list_name(output_label), outputs);
    if (!total)
        return report_failure(total.error());
    std::printf("Done.\n\n");
    std::printf("\nThe total number of new seeds: %lld\n", total.value());
    return 0;
}
