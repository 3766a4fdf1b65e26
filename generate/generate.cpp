// generate [options] density: writes den_<density>.dat, a random starting
// population of floor(density) + 1 seedlings, seeded from the clock.
#include <cstdio>
#include <ctime>
#include <string>

#include "command_line.h"
#include "program_edge.h"
#include "seedling_generator.h"

using namespace seedbank::generate;

namespace {

const seedbank::program_description generate_program = {
    .name = "generate",
    .usage = "usage: generate density\n",
    .synopsis = "density",
    .description =
        "Writes a random starting population as the seedling list den_DENSITY.dat, named\n"
        "after the argument as typed: floor(density) + 1 seedlings (none for a negative\n"
        "density) at cells drawn uniformly with both coordinates in 50..4949, one line\n"
        "\"x   y\" per seedling in drawing order.  The random stream is seeded from the\n"
        "clock, so runs in the same second write the same list.  The density and the\n"
        "file name are printed on standard output.\n",
    .options = {seedbank::help_option(), seedbank::version_option(), seedbank::quiet_option()},
    .required_arguments = 1,
    .exit_status = "  0  the list was written\n"
                   "  1  the density is not a number or is 2147483647 or more, the list could not be\n"
                   "     written, or the command line was wrong; no earlier list was replaced\n",
};

}  // namespace

int main(int argc, char **argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const seedbank::command_line line = seedbank::parse_command_line(generate_program, argc, argv);
    if (line.outcome != seedbank::command_outcome::run)
        return seedbank::finish_early(generate_program, line);
    const std::string density = line.arguments[0];
    if (!density_is_a_number(density.c_str()))
        return seedbank::report_failure(
            {seedbank::failure::kind::argument, "", "density " + density + " is not a number"});
    if (!seedbank::apply_quiet_option(generate_program, line))
        return 1;
    seedbank::start_program();
    if (seedbank::status written = generate_seedlings(density.c_str(), static_cast<int64_t>(std::time(nullptr)));
        !written)
        return seedbank::report_failure(written.error());
    return 0;
}
