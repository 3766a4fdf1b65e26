// seedrain [options] SEEDLING-LIST SEED-MAP: the fresh-seed map of the next
// year from a year's seedlings.
//
// A simple stand-in for the rest of the plant's life cycle, not part of the
// seed-bank model: it closes the loop so that winter can run year after
// year.  The map is an all-or-nothing output like every other.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gd.h>

#include "command_line.h"
#include "output_file.h"
#include "owners.h"
#include "program_edge.h"
#include "seed_map.h"
#include "seed_rain.h"

namespace seedbank::tools {

namespace {

const program_description seedrain_program = {
    .name = "seedrain",
    .usage = "usage: seedrain [options] SEEDLING-LIST SEED-MAP\n",
    .synopsis = "SEEDLING-LIST SEED-MAP",
    .description =
        "Writes SEED-MAP, a 5000 x 5000 fresh-seed map, from the seedlings of SEEDLING-LIST\n"
        "(a list written by winter or generate).  A simple stand-in for the rest of the\n"
        "plant's life cycle, not part of the seed-bank model: each seedling establishes\n"
        "with probability P, each plant sets a Poisson number of seeds with mean F, and\n"
        "each seed lands at an offset from a dispersal kernel.  Seeds landing outside\n"
        "cells 1..4999 are lost; a cell holds at most 255 seeds.\n",
    .options = {help_option(), version_option(), quiet_option(),
                {'\0', "establish", "P", "a seedling becomes a plant with probability P (0..1; default 1)"},
                {'\0', "fecundity", "F", "a plant sets Poisson(F) seeds (0..1000; default 5)"},
                {'\0', "kernel", "K", "none, gaussian or exponential (default gaussian)"},
                {'\0', "scale", "CELLS", "the kernel's scale in cells (0..5000; default 10)"},
                {'\0', "seed", "N", "the random stream's starting seed (1..2147483646; default 1)"}},
    .required_arguments = 2,
    .exit_status = "  0  the map was written\n"
                   "  1  the command line or the seedling list was wrong, or the map could not be\n"
                   "     written; no file was replaced\n",
};

[[noreturn]] void usage_error(const std::string &problem)
{
    std::fprintf(stderr, "seedrain: %s\n", problem.c_str());
    std::fputs(seedrain_program.usage.c_str(), stderr);
    std::exit(1);
}

double parse_number(const std::string &name, const std::string &text, double low, double high)
{
    errno = 0;
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno != 0 || !(value >= low && value <= high) ||
        text.front() == ' ')
        usage_error(name + " needs a number from " + std::to_string(static_cast<long long>(low)) + " to " +
                    std::to_string(static_cast<long long>(high)) + ", not '" + text + "'");
    return value;
}

dispersal_kernel parse_kernel(const std::string &text)
{
    if (text == "none")
        return dispersal_kernel::none;
    if (text == "gaussian")
        return dispersal_kernel::gaussian;
    if (text == "exponential")
        return dispersal_kernel::exponential;
    usage_error("--kernel is none, gaussian or exponential, not '" + text + "'");
}

int32_t parse_seed(const std::string &text)
{
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || end != text.c_str() + text.size() || errno != 0 || value < 1 || value > 2147483646 ||
        text.front() == ' ' || text.front() == '+')
        usage_error("--seed needs a whole number from 1 to 2147483646, not '" + text + "'");
    return static_cast<int32_t>(value);
}

struct command_line_settings {
    seed_rain_parameters parameters;
    std::string list;
    std::string map;
};

void apply_option(const std::string &name, const std::string &value, seed_rain_parameters &parameters)
{
    if (name == "--establish")
        parameters.establish = parse_number(name, value, 0, 1);
    else if (name == "--fecundity")
        parameters.fecundity = parse_number(name, value, 0, largest_fecundity);
    else if (name == "--kernel")
        parameters.kernel = parse_kernel(value);
    else if (name == "--scale")
        parameters.scale = parse_number(name, value, 0, largest_scale);
    else if (name == "--seed")
        parameters.seed = parse_seed(value);
    else
        usage_error("unknown option '" + name + "'");
}

// The parsed command line's operands and option values.
command_line_settings settings_of(const command_line &line)
{
    command_line_settings settings;
    for (const char *name : {"establish", "fecundity", "kernel", "scale", "seed"})
        if (line.has(name))
            apply_option(std::string("--") + name, line.value_or(name, ""), settings.parameters);
    if (line.arguments.size() != 2)
        usage_error("needs a seedling list and a seed-map name, " + std::to_string(line.arguments.size()) +
                    " given");
    settings.list = line.arguments[0];
    settings.map = line.arguments[1];
    return settings;
}

void print_tally(const seed_rain_tally &tally)
{
    std::printf("Seedlings read: %lld\n", tally.seedlings);
    std::printf("Plants established: %lld\n", tally.plants);
    std::printf("Seeds set: %lld\n", tally.seeds_set);
    std::printf("Seeds lost off the field: %lld\n", tally.seeds_off_field);
    std::printf("Seeds in the map: %lld (%lld more were dropped at 255 per cell)\n", tally.seeds_kept,
                tally.seeds_landed - tally.seeds_kept);
}

int run_seedrain(int argc, char **argv)
{
    const command_line line = parse_command_line(seedrain_program, argc, argv);
    if (line.outcome != command_outcome::run)
        return finish_early(seedrain_program, line);
    const command_line_settings command = settings_of(line);
    if (!apply_quiet_option(seedrain_program, line))
        return 1;
    start_program();
    recover_output_directory(command.map);
    gd_image map = create_seed_map(5000, 5000);
    std::string reason;
    const std::optional<seed_rain_tally> tally =
        rain_seeds(command.list, command.parameters, map.get()->pixels, reason);
    if (!tally)
        return report_failure({failure::kind::argument, "", reason});
    outcome<output_file> written = write_seed_map(map.get(), command.map);
    if (!written)
        return report_failure(written.error());
    if (status committed = commit_output(written.value()); !committed)
        return report_failure(committed.error());
    print_tally(*tally);
    return 0;
}

}  // namespace

}  // namespace seedbank::tools

int main(int argc, char **argv)
{
    return seedbank::tools::run_seedrain(argc, argv);
}
