// Seed rain: a simple stand-in for the rest of the plant's life cycle, not
// part of the seed-bank model.  It turns a year's seedlings into the next
// year's fresh seeds, so that years can follow each other:
//
//   each seedling of the list establishes as a plant with probability
//   `establish`; each plant sets a Poisson number of seeds with mean
//   `fecundity`; each seed lands at an offset from its plant's cell drawn
//   from a dispersal kernel; seeds landing outside cells 1..4999 are lost;
//   a cell holds at most 255 seeds.
//
// Every value comes from ran1 on one seed word starting at -seed, and the
// deviates are made here from uniforms with the four exactly rounded
// arithmetic operations, square roots and exact scalings only (the
// logarithm and the exponential below are this file's own), so the same
// inputs give the same map on every machine with IEEE-754 doubles.
//
// Order of the draws, seedling by seedling in list order:
//   1. one uniform u: the seedling establishes when u < establish;
//   2. an established plant draws its seed count: the mean is split into
//      c = ceil(fecundity / 16) equal parts, and each part is a Poisson
//      deviate by multiplication (uniforms multiplied until the product
//      falls to exp(-part) or below; the count is the number of factors
//      before that one); a mean of 0 draws nothing;
//   3. each seed draws its landing offset:
//      none:        no draw, offset (0, 0);
//      gaussian:    pairs of uniforms (u1, u2) -> (2 u1 - 1, 2 u2 - 1) until
//                   the point lies inside the unit disc (0 < s < 1); the
//                   polar method turns it into two independent normal
//                   deviates, the x and the y offset with standard
//                   deviation `scale` each;
//      exponential: the same pairs give a direction (the point over its
//                   length), then one uniform u3 the distance
//                   -scale * log(u3), exponential with mean `scale`.
//   Offsets are rounded to the nearest cell, halves away from zero.
#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace seedbank::tools {

enum class dispersal_kernel { none, gaussian, exponential };

struct seed_rain_parameters {
    double establish = 1.0;
    double fecundity = 5.0;
    dispersal_kernel kernel = dispersal_kernel::gaussian;
    double scale = 10.0;  // cells
    int32_t seed = 1;     // the stream starts from seed word -seed
};

// Largest accepted values: a plant's seed count is drawn in O(fecundity)
// uniforms, and offsets beyond the field only lose seeds.
constexpr double largest_fecundity = 1000.0;
constexpr double largest_scale = 5000.0;

// What happened to the list's seedlings and their seeds.
struct seed_rain_tally {
    long long seedlings = 0;
    long long plants = 0;
    long long seeds_set = 0;
    long long seeds_off_field = 0;
    long long seeds_landed = 0;  // on the field, before saturation
    long long seeds_kept = 0;    // in the map, after saturation at 255
};

// --- The deviates, for the program and for tests. ---

// A stream of uniforms: ran1 on its own seed word.
struct uniform_stream {
    int32_t seed_word;
    double next();
};

// Natural logarithm of a positive finite x, and exp(-x) for x >= 0, from
// basic operations only (accurate to a few units in the last place).
double portable_log(double x);
double portable_exp_minus(double x);

// A Poisson deviate with mean `mean` (0 .. largest_fecundity).
long long poisson_deviate(uniform_stream &stream, double mean);

// A landing offset before rounding, in cells.
struct offset {
    double dx = 0.0;
    double dy = 0.0;
};
offset dispersal_offset(uniform_stream &stream, dispersal_kernel kernel, double scale);

// Rounds an offset component to the nearest cell, halves away from zero.
long long rounded_cells(double offset);

// --- The seedling list. ---

// One line of a seedling list: "x y" with positive decimal coordinates
// separated by blanks, optional blanks around them, nothing else.  Returns
// the cell or nothing with the reason.
struct cell {
    int x = 0;
    int y = 0;
};
std::optional<cell> parse_seedling_line(const std::string &line, std::string &reason);

// Reads the list `list_path` and rains its seeds on `counts`, a field of
// 5000 x 5000 cells given as pixels[y][x].  Returns the tally, or nothing
// with "<list>:<line>: <reason>" in `reason`.
std::optional<seed_rain_tally> rain_seeds(const std::string &list_path, const seed_rain_parameters &parameters,
                                          unsigned char **pixels, std::string &reason);

}  // namespace seedbank::tools
