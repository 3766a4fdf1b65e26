// winter input-label output-label: advances the seed bank by one year.
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
#include "distrib.h"
#include "output_file.h"
#include "owners.h"
#include "program_edge.h"
#include "seedling_grid.h"
#include "seedling_list.h"

using namespace seedbank;
using namespace seedbank::distribute;

namespace {

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
    if (argc < 3) {
        std::fprintf(stderr, "usage: winter input-label output-label\n");
        return 1;
    }
    start_program();
    const std::string input_label = argv[1];
    const std::string output_label = argv[2];

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
