#include "seedling_list.h"

namespace seedbank {

outcome<output_file> open_seedling_list(const std::string &name)
{
    return open_output(name);
}

void write_seedling(FILE *list, int x, int y)
{
    std::fprintf(list, "%3d   %3d\n", x, y);
}

}  // namespace seedbank
