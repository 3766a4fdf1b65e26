// mkmap: writes seed maps for fixtures, demonstrations and benchmarks.
//
// The map is a palette image with all 256 greys allocated in index order, so
// every pixel's index is its seed count; were fewer entries allocated, the
// image library would compact the palette on writing and renumber the counts.
// A random map depends on its seed alone: the same command line always writes
// the same file.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <gd.h>

#include "output_file.h"
#include "program_edge.h"
#include "random.h"
#include "seed_map.h"

using namespace seedbank;

namespace {

const char usage_text[] =
    "usage: mkmap FILE WIDTH HEIGHT PATTERN\n"
    "Writes a seed map of WIDTH x HEIGHT pixels (1 to 16384) to FILE; PATTERN is one of\n"
    "  empty                        every pixel 0\n"
    "  cell X Y COUNT [X Y COUNT]...  the listed pixels hold COUNT (0 to 255), the rest 0\n"
    "  constant VALUE               every pixel, row 0 and column 0 included, holds VALUE\n"
    "  random FRACTION MIN MAX SEED each pixel, row 0 and column 0 included, is occupied\n"
    "                               with probability FRACTION (0 to 1) and then holds a\n"
    "                               count drawn uniformly from MIN..MAX (0 to 255); SEED\n"
    "                               (1 to 2147483646) fixes the draws\n";

[[noreturn]] void usage()
{
    std::fputs(usage_text, stderr);
    std::exit(1);
}

[[noreturn]] void refuse(const std::string &what, const char *text)
{
    std::fprintf(stderr, "mkmap: %s, not '%s'\n", what.c_str(), text);
    std::exit(1);
}

long parse_integer(const char *text, long low, long high, const std::string &name)
{
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < low || value > high)
        refuse(name + " must be an integer from " + std::to_string(low) + " to " + std::to_string(high), text);
    return value;
}

double parse_fraction(const char *text)
{
    errno = 0;
    char *end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !(value >= 0.0 && value <= 1.0))
        refuse("FRACTION must be a number from 0 to 1", text);
    return value;
}

void fill_cells(gdImagePtr map, int argc, char **argv)
{
    for (int i = 5; i < argc; i += 3) {
        const int x = (int)parse_integer(argv[i], 0, gdImageSX(map) - 1, "X");
        const int y = (int)parse_integer(argv[i + 1], 0, gdImageSY(map) - 1, "Y");
        map->pixels[y][x] = (unsigned char)parse_integer(argv[i + 2], 0, 255, "COUNT");
    }
}

void fill_constant(gdImagePtr map, const char *value_word)
{
    const unsigned char value = (unsigned char)parse_integer(value_word, 0, 255, "VALUE");
    for (int y = 0; y < gdImageSY(map); ++y)
        std::memset(map->pixels[y], value, gdImageSX(map));
}

// Pixels in row order.  Each pixel draws one uniform for its occupancy and
// an occupied one a second for its count.
void fill_random(gdImagePtr map, char **words)
{
    const double fraction = parse_fraction(words[0]);
    const int low = (int)parse_integer(words[1], 0, 255, "MIN");
    const int high = (int)parse_integer(words[2], low, 255, "MAX (at least MIN)");
    int32_t seed_word = -(int32_t)parse_integer(words[3], 1, 2147483646, "SEED");

    const int choices = high - low + 1;
    for (int y = 0; y < gdImageSY(map); ++y)
        for (int x = 0; x < gdImageSX(map); ++x) {
            if (!(ran1(&seed_word) < fraction))
                continue;
            const int pick = (int)std::floor(ran1(&seed_word) * (double)choices);
            map->pixels[y][x] = (unsigned char)(low + (pick < choices ? pick : choices - 1));
        }
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 5)
        usage();
    const std::string file = argv[1];
    const int width = (int)parse_integer(argv[2], 1, max_seed_map_side, "WIDTH");
    const int height = (int)parse_integer(argv[3], 1, max_seed_map_side, "HEIGHT");
    const std::string pattern = argv[4];
    const int words = argc - 5;  // after the pattern's name
    const bool well_formed = (pattern == "empty" && words == 0) ||
                             (pattern == "cell" && words >= 3 && words % 3 == 0) ||
                             (pattern == "constant" && words == 1) || (pattern == "random" && words == 4);
    if (!well_formed)
        usage();

    start_program();
    gd_image map = create_seed_map(width, height);
    if (pattern == "cell") {
        fill_cells(map.get(), argc, argv);
    } else if (pattern == "constant") {
        fill_constant(map.get(), argv[5]);
    } else if (pattern == "random") {
        fill_random(map.get(), argv + 5);
    }
    outcome<output_file> written = write_seed_map(map.get(), file);
    if (!written)
        return report_failure(written.error());
    if (status committed = commit_output(written.value()); !committed)
        return report_failure(committed.error());
    return 0;
}
