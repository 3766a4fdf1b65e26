#include "seedling_grid.h"

#include <cstring>

#include "cohort_schedule.h"
#include "seedling_lines.h"
#include "seedling_list.h"

namespace seedbank::distribute {

void clear_grid(unsigned char **new_seeds)
{
    for (int x = 1; x <= field_side; ++x)
        std::memset(&new_seeds[x][1], 0, field_side);
}

long long grid_total(unsigned char **new_seeds)
{
    long long total = 0;
    for (int x = 1; x <= field_side; ++x)
        for (int y = 1; y <= field_side; ++y)
            total += new_seeds[x][y];
    return total;
}

long long write_seedling_grid(FILE *list, unsigned char **new_seeds)
{
#ifdef SEEDBANK_REFERENCE_PATHS
    return write_seedling_grid_plainly(list, new_seeds);
#else
    const seedling_grid_formatter formatter(field_side);
    return formatter.format_columns(new_seeds, 1, field_side, stream_sink(list));
#endif
}

long long write_seedling_grid_plainly(FILE *list, unsigned char **new_seeds)
{
    long long total = 0;
    for (int x = 1; x <= field_side; ++x)
        for (int y = 1; y <= field_side; ++y)
            for (int seedling = 0; seedling < new_seeds[x][y]; ++seedling) {
                write_seedling(list, x, y);
                ++total;
            }
    return total;
}

}  // namespace seedbank::distribute
