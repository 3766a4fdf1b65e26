#include "seedling_generator.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "random.h"
#include "seedling_lines.h"
#include "seedling_list.h"

namespace seedbank::generate {

namespace {

// The stream's seed word.  Clock readings of 2^31 - 1 seconds and more lie
// outside the generator's domain and are folded back into it.
int32_t seed_word_from_clock(int64_t clock_seconds)
{
    int64_t seconds = clock_seconds % 2147483647;
    if (seconds < 0)
        seconds += 2147483647;
    return static_cast<int32_t>(-seconds);
}

// An int counter compared with a bound of 2^31 - 1 or more, or with +inf,
// never passes it: such a density would write forever.
bool density_has_an_end(float density)
{
    return !(std::isinf(density) && density > 0) && !(density >= 2147483647.0);
}

// A coordinate in 50..4949 from one uniform; formed in double precision,
// since single precision rounds some products up to the next integer.
int coordinate_from(float uniform)
{
    return static_cast<int>(static_cast<double>(uniform) * 4900.0 + 50.0);
}

}  // namespace

bool density_is_a_number(const char *argument)
{
    char *end = nullptr;
    std::strtod(argument, &end);
    return end != argument && *end == '\0';
}

long long seedling_count(float density)
{
    if (!(density >= 0))
        return 0;
    return static_cast<long long>(std::floor(static_cast<double>(density))) + 1;
}

status generate_seedlings(const char *argument, int64_t clock_seconds)
{
    std::string data_file = std::string("den_") + argument + ".dat";
    int32_t idum = seed_word_from_clock(clock_seconds);
    float density = static_cast<float>(std::atof(argument));
    if (!density_has_an_end(density))
        return failure{failure::kind::argument, "",
                       std::string("density ") + argument + " is too large: it must be below 2147483647"};

    outcome<output_file> list = open_seedling_list(data_file);
    if (!list)
        return list.error();
    std::printf("Density is: %f\nDatafile is: %s\n", static_cast<double>(density), data_file.c_str());
    long long count = seedling_count(density);
    {
        seedling_line_writer lines(list.value().stream());
        for (long long i = 0; i < count; ++i) {
            int pos_x = coordinate_from(ran1(&idum));
            int pos_y = coordinate_from(ran1(&idum));
            lines.add(pos_x, pos_y);
        }
    }
    return commit_output(list.value());
}

}  // namespace seedbank::generate
