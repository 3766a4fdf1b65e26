// generate density: writes den_<density>.dat, a random starting population
// of floor(density) + 1 seedlings, seeded from the clock.
#include <cstdio>
#include <ctime>

#include "seedling_generator.h"

using namespace seedbank::generate;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: generate density\n");
        return 1;
    }
    generate_seedlings(argv[1], (int64_t)std::time(nullptr));
    return 0;
}
