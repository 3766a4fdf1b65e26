// Seed maps: PNG palette images whose colour index at pixel (x, y) is the
// number of seeds in cell (x, y).  Pixel row 0 and column 0 belong to no cell.
//
// This is the one reader every grid program uses, with the checks that
// decide whether a file is a seed map at all: a PNG that decodes, not larger
// than max_seed_map_side in either direction, and read as a palette image.
// Palette PNGs and greyscale PNGs of 1 to 8 bits are seed maps (a grey
// pixel's count is its stored sample, 0..2^depth - 1); true colour, grey
// with alpha and 16-bit greyscale are not, since their pixels are colours
// or wider than a count.  Size and pixel format are checked from the header
// and the chunk layout before anything is decoded; ancillary chunks are
// ignored.
#pragma once
#include <cstddef>
#include <string>

#include <gd.h>

#include "outcome.h"
#include "output_file.h"
#include "owners.h"

namespace seedbank {

// Largest width or height accepted.  Maps larger than the 5000 x 5000 field
// are valid (cells beyond 5000 are ignored), but a header declaring a huge
// image is refused before its pixels are allocated.
constexpr int max_seed_map_side = 16384;

// Decodes a seed map held in memory.  Returns the image, or nullptr with the
// reason in `reason` ("is not a PNG image", "is a true-colour image, ...",
// "declares an image of 100000 x 100000 pixels, ...").
gdImagePtr decode_seed_map(const unsigned char *data, std::size_t size, std::string &reason,
                           int max_side = max_seed_map_side);

// Opens and decodes the seed map `filename`.  Fails with
// failure::kind::cannot_open when the file cannot be opened, and with the
// reason when it cannot be read or is not a valid seed map.
outcome<gd_image> read_seed_map(const std::string &filename);

// Seed count of cell (x, y): the pixel's colour index, 0 outside the image.
inline int seed_count(gdImagePtr map, int x, int y)
{
    if (x < 0 || y < 0 || x >= gdImageSX(map) || y >= gdImageSY(map))
        return 0;
    return map->pixels[y][x];
}

// A new seed map of width x height pixels, all 0, whose palette holds all
// 256 greys in index order, so that index, grey level and count coincide.
// An image that cannot be allocated ends the run through fatal_error, like
// every allocation failure.
gd_image create_seed_map(int width, int height);

// Writes `map` as PNG to the output `name` and closes it; the returned
// output is pending until the caller commits it (see output_file.h).
outcome<output_file> write_seed_map(gdImagePtr map, const std::string &name);

}  // namespace seedbank
