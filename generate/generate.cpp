// generate density: writes den_<density>.dat, a random starting population
// of floor(density) + 1 seedlings, seeded from the clock.
#include <cstdio>
#include <ctime>

#include "program_edge.h"
#include "seedling_generator.h"

using namespace seedbank::generate;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: generate density\n");
        return 1;
    }
    seedbank::start_program();
    if (seedbank::status written = generate_seedlings(argv[1], static_cast<int64_t>(std::time(nullptr))); !written)
        return seedbank::report_failure(written.error());
    return 0;
}
