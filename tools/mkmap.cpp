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
#include <vector>

#include <gd.h>

#include "command_line.h"
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
    "                               (1 to 2147483646) fixes the draws\n"
    "  checker MIN MAX SEED         every other pixel, those whose x + y is even, holds\n"
    "                               a count drawn uniformly from MIN..MAX; the rest 0\n";

const seedbank::program_description mkmap_program = {
    .name = "mkmap",
    .usage = usage_text,
    .synopsis = "FILE WIDTH HEIGHT PATTERN [WORD]...",
    .description = std::string(usage_text).substr(std::string(usage_text).find('\n') + 1) +
                   "The same command line always writes the same file.  Nothing is printed on\n"
                   "success.\n",
    .options = {seedbank::help_option(), seedbank::version_option()},
    .required_arguments = 4,
    .exit_status = "  0  the map was written\n"
                   "  1  a word is out of range, the map could not be written, or the command line\n"
                   "     was wrong; no earlier file was replaced\n",
};

using words = std::vector<std::string>;

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

long parse_integer(const std::string &word, long low, long high, const std::string &name)
{
    const char *text = word.c_str();
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < low || value > high)
        refuse(name + " must be an integer from " + std::to_string(low) + " to " + std::to_string(high), text);
    return value;
}

double parse_fraction(const std::string &word)
{
    const char *text = word.c_str();
    errno = 0;
    char *end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || errno != 0 || !(value >= 0.0 && value <= 1.0))
        refuse("FRACTION must be a number from 0 to 1", text);
    return value;
}

// The words after the pattern's name: X Y COUNT triples.
void fill_cells(gdImagePtr map, const words &cells)
{
    for (std::size_t i = 0; i + 2 < cells.size(); i += 3) {
        const int x = static_cast<int>(parse_integer(cells[i], 0, gdImageSX(map) - 1, "X"));
        const int y = static_cast<int>(parse_integer(cells[i + 1], 0, gdImageSY(map) - 1, "Y"));
        map->pixels[y][x] = static_cast<unsigned char>(parse_integer(cells[i + 2], 0, 255, "COUNT"));
    }
}

void fill_constant(gdImagePtr map, const std::string &value_word)
{
    const unsigned char value = static_cast<unsigned char>(parse_integer(value_word, 0, 255, "VALUE"));
    for (int y = 0; y < gdImageSY(map); ++y)
        std::memset(map->pixels[y], value, static_cast<std::size_t>(gdImageSX(map)));
}

// The counts MIN..MAX of a random pattern and the stream they are drawn from.
struct count_draw {
    int low, choices;
    int32_t seed_word;

    // MIN, MAX and SEED are parameters[first], [first + 1] and [first + 2].
    count_draw(const words &parameters, std::size_t first)
    {
        low = static_cast<int>(parse_integer(parameters[first], 0, 255, "MIN"));
        const int high = static_cast<int>(parse_integer(parameters[first + 1], low, 255, "MAX (at least MIN)"));
        choices = high - low + 1;
        seed_word = -static_cast<int32_t>(parse_integer(parameters[first + 2], 1, 2147483646, "SEED"));
    }
    unsigned char next()
    {
        const int pick = static_cast<int>(std::floor(ran1(&seed_word) * static_cast<double>(choices)));
        return static_cast<unsigned char>(low + (pick < choices ? pick : choices - 1));
    }
};

// Pixels in row order.  Each pixel draws one uniform for its occupancy and
// an occupied one a second for its count.
void fill_random(gdImagePtr map, const words &parameters)
{
    const double fraction = parse_fraction(parameters[0]);
    count_draw counts(parameters, 1);
    for (int y = 0; y < gdImageSY(map); ++y)
        for (int x = 0; x < gdImageSX(map); ++x) {
            if (!(ran1(&counts.seed_word) < fraction))
                continue;
            map->pixels[y][x] = counts.next();
        }
}

// Pixels in row order; those with x + y even draw their count.
void fill_checker(gdImagePtr map, const words &parameters)
{
    count_draw counts(parameters, 0);
    for (int y = 0; y < gdImageSY(map); ++y)
        for (int x = y % 2; x < gdImageSX(map); x += 2)
            map->pixels[y][x] = counts.next();
}

}  // namespace

int main(int argc, char **argv)
{
    const seedbank::command_line line = seedbank::parse_command_line(mkmap_program, argc, argv);
    if (line.outcome != seedbank::command_outcome::run)
        return seedbank::finish_early(mkmap_program, line);
    const words &arguments = line.arguments;
    const std::string file = arguments[0];
    const int width = static_cast<int>(parse_integer(arguments[1], 1, max_seed_map_side, "WIDTH"));
    const int height = static_cast<int>(parse_integer(arguments[2], 1, max_seed_map_side, "HEIGHT"));
    const std::string pattern = arguments[3];
    const words parameters(arguments.begin() + 4, arguments.end());  // after the pattern's name
    const std::size_t count = parameters.size();
    const bool well_formed = (pattern == "empty" && count == 0) ||
                             (pattern == "cell" && count >= 3 && count % 3 == 0) ||
                             (pattern == "constant" && count == 1) || (pattern == "random" && count == 4) ||
                             (pattern == "checker" && count == 3);
    if (!well_formed)
        usage();

    start_program();
    gd_image map = create_seed_map(width, height);
    if (pattern == "cell") {
        fill_cells(map.get(), parameters);
    } else if (pattern == "constant") {
        fill_constant(map.get(), parameters[0]);
    } else if (pattern == "random") {
        fill_random(map.get(), parameters);
    } else if (pattern == "checker") {
        fill_checker(map.get(), parameters);
    }
    outcome<output_file> written = write_seed_map(map.get(), file);
    if (!written)
        return report_failure(written.error());
    if (status committed = commit_output(written.value()); !committed)
        return report_failure(committed.error());
    return 0;
}
