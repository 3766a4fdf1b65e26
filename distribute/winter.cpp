// winter input-label output-label: advances the seed bank by one year.
//
// Reads the six seed maps of the input year, decides the fate of every seed
// cohort by cohort, oldest first, and writes the five maps of the dormant
// seeds and the list of new seedlings under the output label.  Every output
// is written to a temporary file and all of them are put in place together
// once the whole year succeeded, so a failed run replaces nothing.
#include <cstdio>
#include <string>

#include "cohort_schedule.h"
#include "distrib.h"
#include "output_file.h"
#include "ranged_arrays.h"
#include "seedling_grid.h"
#include "seedling_list.h"

using namespace seedbank;
using namespace seedbank::distribute;

namespace {

void distribute_cohorts(unsigned char **new_seeds, const std::string &input_label,
                        const std::string &output_label)
{
    std::printf("Distributing:\n");
    for (const cohort_step &step : cohort_schedule) {
        std::printf("%s", step.header);
        const std::string file_out =
            step.output_prefix != nullptr ? seed_map_name(step.output_prefix, output_label) : "";
        distrib(new_seeds, seed_map_name(step.input_prefix, input_label), file_out, step.d_prob, step.pred);
    }
    std::printf("Done.\n\n");
}

// Writes the grid as the seedling list and puts every output of the year in
// place.  Returns the number of seedlings written.
long long write_year(unsigned char **new_seeds, const std::string &seeds_out)
{
    output_file list = open_seedling_list(seeds_out);
    std::printf("Writing Data File\n");
    const long long total = write_seedling_grid(list.stream, new_seeds);
    close_output(list);
    commit_outputs();
    return total;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: winter input-label output-label\n");
        return 1;
    }
    const std::string input_label = argv[1];
    const std::string output_label = argv[2];

    unsigned char **new_seeds = cmatrix(1, field_side, 1, field_side);

    std::printf("\nClearing out Matrix ....\n");
    clear_grid(new_seeds);
    std::printf("Done.\n\n");

    distribute_cohorts(new_seeds, input_label, output_label);

    // The list is never empty: a year without germination gets one seedling.
    if (grid_total(new_seeds) == 0)
        new_seeds[100][100] = 1;

    const long long total = write_year(new_seeds, seedling_list_name(output_label));
    std::printf("Done.\n\n");
    std::printf("\nThe total number of new seeds: %lld\n", total);

    free_cmatrix(new_seeds, 1, field_side, 1, field_side);
    return 0;
}
