// winter [options] input-label output-label: advances the seed bank by one year.
//
// Reads the six seed maps of the input year, decides the fate of every seed
// cohort by cohort, oldest first, and writes the five maps of the dormant
// seeds and the list of new seedlings under the output label.  Every output
// is written to a temporary file and all of them are put in place together
// once the whole year succeeded, so a failed run replaces nothing.
//
// Options choose the stream's starting seed, a cohort schedule from a file,
// the directories maps are read from and written to, and a stats file; see
// winter_options.h.  Without them the run is the one described above.
#include <malloc.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "beta.h"
#include "cohort_schedule.h"
#include "command_line.h"
#include "distrib.h"
#include "fast_year.h"
#include "output_file.h"
#include "owners.h"
#include "program_edge.h"
#include "schedule_file.h"
#include "seedling_grid.h"
#include "seedling_list.h"
#include "speed_options.h"
#include "winter_options.h"
#include "year_stats.h"

using namespace seedbank;
using namespace seedbank::distribute;

namespace {

// The reference build runs the plain cohort runs, one ibeta deviate at a
// time, on one thread.
#ifdef SEEDBANK_REFERENCE_PATHS
constexpr bool use_reference_paths = true;
#else
constexpr bool use_reference_paths = false;
#endif

std::vector<option_description> program_options()
{
    std::vector<option_description> options = {help_option(), version_option(), quiet_option()};
    for (const option_description &option : scenario_options())
        options.push_back(option);
    options.push_back(threads_option());
    options.push_back(png_level_option());
    return options;
}

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
        "printed on standard output.  The options run a scenario: another seed of the\n"
        "year's random stream, another schedule, other directories, and a stats file;\n"
        "without them every output is that of the built-in year.\n",
    .options = program_options(),
    .required_arguments = 2,
    .exit_status = "  0  the year was written\n"
                   "  1  a seed map could not be read, an output could not be written, or the\n"
                   "     command line was wrong; no output was replaced\n",
};

failure argument_failure(const std::string &problem)
{
    return {failure::kind::argument, "", problem};
}

// The directories the options name exist, before anything is read or written.
status check_directories(const winter_options &options)
{
    for (const auto &[what, directory] : {std::pair{"input", options.input_dir}, {"output", options.output_dir}})
        if (!directory.empty())
            if (const std::optional<std::string> problem = directory_problem(directory))
                return argument_failure(std::string(what) + " directory " + directory + ": " + *problem);
    return {};
}

// The schedule file's probabilities, or the built-in ones.
outcome<cohort_probability_table> chosen_probabilities(const winter_options &options)
{
    if (options.schedule_file.empty())
        return built_in_probabilities();
    std::string reason;
    const std::optional<cohort_probability_table> table = read_schedule_file(options.schedule_file, reason);
    if (!table)
        return argument_failure(reason);
    return *table;
}

std::string output_path(const winter_options &options, const std::string &name)
{
    return in_directory(options.output_dir, name);
}

// The year's six cohort runs: their maps and probabilities.
std::vector<cohort_run> cohort_runs(const winter_options &options, const cohort_probability_table &probabilities)
{
    std::vector<cohort_run> runs;
    for (std::size_t k = 0; k < probabilities.size(); ++k) {
        const cohort_step &step = cohort_schedule[k];
        runs.push_back({step.header,
                        in_directory(options.input_dir, seed_map_name(step.input_prefix, options.input_label)),
                        step.output_prefix != nullptr
                            ? output_path(options, seed_map_name(step.output_prefix, options.output_label))
                            : "",
                        probabilities[k].d_prob, probabilities[k].pred});
    }
    return runs;
}

// The plain cohort runs, one after the other.
outcome<std::array<cohort_tally, 6>> distribute_cohorts(unsigned char **new_seeds, const std::vector<cohort_run> &runs,
                                                        std::vector<output_file> &outputs)
{
    std::array<cohort_tally, 6> tallies;
    std::printf("Distributing:\n");
    for (std::size_t k = 0; k < tallies.size(); ++k) {
        std::printf("%s", runs[k].header.c_str());
        outcome<cohort_tally> ran =
            distrib(new_seeds, runs[k].file_in, runs[k].file_out, runs[k].d_prob, runs[k].pred, outputs);
        if (!ran)
            return ran.error();
        tallies[k] = ran.value();
    }
    std::printf("Done.\n\n");
    return tallies;
}

// The same year on the fast paths (fast_year.h): the same draws, messages
// and bytes.
outcome<std::array<cohort_tally, 6>> distribute_cohorts_on_threads(unsigned char **new_seeds,
                                                                   const std::vector<cohort_run> &runs,
                                                                   const year_settings &settings,
                                                                   std::vector<output_file> &outputs)
{
    outcome<std::vector<cohort_tally>> ran = distribute_cohorts_fast(new_seeds, runs, settings, outputs);
    if (!ran)
        return ran.error();
    std::array<cohort_tally, 6> tallies;
    std::copy(ran.value().begin(), ran.value().end(), tallies.begin());
    return tallies;
}

// Writes the grid as the seedling list, pending with the other outputs.
// Returns the number of seedlings written.
outcome<long long> write_list(unsigned char **new_seeds, const std::string &seeds_out,
                              std::vector<output_file> &outputs)
{
    outcome<output_file> list = open_seedling_list(seeds_out);
    if (!list)
        return list.error();
    std::printf("Writing Data File\n");
    const long long total = write_seedling_grid(list.value().stream(), new_seeds);
    outputs.push_back(std::move(list.value()));
    return total;
}

// The stats file joins the year's outputs, committed with them.
void write_stats(output_file &stats, const year_record &record, std::vector<output_file> &outputs)
{
    write_year_stats(stats.stream(), record);
    outputs.push_back(std::move(stats));
}

// Every output of the year is committed at once, after the last one.
void recover_outputs(const winter_options &options)
{
    recover_output_directory(output_path(options, seedling_list_name(options.output_label)));
    for (const cohort_step &step : cohort_schedule)
        if (step.output_prefix != nullptr)
            recover_output_directory(output_path(options, seed_map_name(step.output_prefix, options.output_label)));
    if (!options.stats_file.empty())
        recover_output_directory(options.stats_file);
}

int run_year(const winter_options &options, year_settings settings)
{
    if (status directories = check_directories(options); !directories)
        return report_failure(directories.error());
    const outcome<cohort_probability_table> probabilities = chosen_probabilities(options);
    if (!probabilities)
        return report_failure(probabilities.error());
    start_program();
    // A year killed half committed is rolled back before anything is read.
    recover_outputs(options);
    // The stats file is opened first, so that a name that cannot be written
    // is known before the year's work.
    std::optional<output_file> stats;
    if (!options.stats_file.empty()) {
        outcome<output_file> opened = open_output(options.stats_file);
        if (!opened)
            return report_failure(opened.error());
        stats = std::move(opened.value());
    }
    start_beta_stream(-options.seed);
    settings.seed_word = -options.seed;
    // Planes and maps of 25 MB are freed on one thread and made on another;
    // a fixed threshold keeps every such block in its own mapping, returned
    // to the system when freed, instead of letting the heaps of the threads
    // grow by a plane each.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);

    owned_cmatrix new_seeds(1, field_side, 1, field_side);

    std::printf("\nClearing out Matrix ....\n");
    clear_grid(new_seeds.get());
    std::printf("Done.\n\n");

    std::vector<output_file> outputs;
    const std::vector<cohort_run> runs = cohort_runs(options, probabilities.value());
    const outcome<std::array<cohort_tally, 6>> tallies =
        use_reference_paths ? distribute_cohorts(new_seeds.get(), runs, outputs)
                            : distribute_cohorts_on_threads(new_seeds.get(), runs, settings, outputs);
    if (!tallies)
        return report_failure(tallies.error());

    // The list is never empty: a year without germination gets one seedling.
    if (grid_total(new_seeds.get()) == 0)
        new_seeds[100][100] = 1;

    const outcome<long long> total =
        write_list(new_seeds.get(), output_path(options, seedling_list_name(options.output_label)), outputs);
    if (!total)
        return report_failure(total.error());
    if (stats) {
        const year_record record{options.input_label,
                                 options.output_label,
                                 options.seed,
                                 options.schedule_file.empty() ? "built-in" : options.schedule_file,
                                 probabilities.value(),
                                 tallies.value(),
                                 total.value()};
        write_stats(*stats, record, outputs);
    }
    if (status committed = commit_outputs(outputs); !committed)
        return report_failure(committed.error());
    std::printf("Done.\n\n");
    std::printf("\nThe total number of new seeds: %lld\n", total.value());
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    // Each progress line reaches a pipe when it is printed.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const seedbank::command_line line = seedbank::parse_command_line(winter_program, argc, argv);
    if (line.outcome != seedbank::command_outcome::run)
        return seedbank::finish_early(winter_program, line);
    std::string problem;
    const std::optional<winter_options> options = winter_options_from(line, problem);
    if (!options) {
        std::fprintf(stderr, "winter: %s\n", problem.c_str());
        std::fputs(winter_program.usage.c_str(), stderr);
        return 1;
    }
    year_settings settings;
    if (status speed = year_settings_from(line, settings); !speed) {
        std::fprintf(stderr, "winter: %s\n", speed.error().reason.c_str());
        std::fputs(winter_program.usage.c_str(), stderr);
        return 1;
    }
    if (!seedbank::apply_quiet_option(winter_program, line))
        return 1;
    return run_year(*options, settings);
}
