// Reading a seed map into the grid `field` and rendering the finished grid
// as the 600 x 600 summary image, shared by blockmap and stepmap.
//
// The summary is painted at full resolution, one pixel per cell, into a
// 6000 x 6000 palette image, shrunk tenfold (output pixel d shows pixel 10d),
// framed in black and written as PNG.
#pragma once
#include <string>

#include <gd.h>

#include "outcome.h"
#include "owners.h"

namespace seedbank::summarize {

struct legend_description;

// The colour ramp that shows the data values; the one thing in which the
// two programs' pictures differ.
enum class colour_ramp {
    green,     // blockmap: entry i is (200 - i, 255 - i, 200 - i)
    red_blue,  // stepmap:  entry i is (i, 0, 154 - i)
};

struct rgb {
    int red, green, blue;
};

constexpr int ramp_entries = 153;
constexpr int summary_side = 600;

// Colour of ramp entry 1..153.
rgb ramp_colour(colour_ramp ramp, int entry);

// Reads the seed map `filename` into the data area of `field`: cell [x][y],
// x and y 1..5000, takes the seed count of pixel (x, y), 0 where the map has
// no such pixel.  Margins and corner are left as they are.  Fails when the
// map cannot be opened or is no seed map.
status read_image(const std::string &filename, unsigned char **field);

// The same reading written plainly, one library call per cell: the
// reference that read_image must match.
status read_image_by_pixel(const std::string &filename, unsigned char **field);

// Allocates the colour table in `image`, a fresh palette image: white, the
// greys for entries 155..254, black, then the ramp for entries 1..153.
// pallet[v] receives the colour index of value v; entry 154 is given the
// index of white, since no picture ever shows it.
void allocate_pallet(gdImagePtr image, unsigned char *pallet, colour_ramp ramp);

// The `pallet` position looked up for data value v: v * step, with every
// value above 152 shown as 153 * step.  Positions past the ramp's last entry
// are held at 153, so that a step too large for the data can never look
// outside the table.
int data_pallet_position(int value, int step);

// Paints the data area and both margins of `field` into the 6000 x 6000
// image: pixel (x, y) shows cell [x][y].  Pixel row 0, column 0 and the
// corner are left alone.
void paint_summary(gdImagePtr image, unsigned char **field, const unsigned char *pallet, int step);

// The same painting written plainly, one library call per pixel: the
// reference that paint_summary must match exactly (for steps the programs
// pass, where v * step never passes 153).
void paint_summary_by_pixel(gdImagePtr image, unsigned char **field, const unsigned char *pallet, int step);

// The tenfold shrink of the painted image (a one-to-one copy of an image
// already 600 x 600) into a new 600 x 600 image, with the frame (rows and
// columns 0, 500, 501, 599) drawn in that image's black.
gd_image shrink_and_frame(gdImagePtr image);

// Fills `pallet`, renders `field` and writes the summary image to
// `filename`, replacing an earlier file only once the new one is complete.
// Only the pixels the shrink samples are painted, into a 600 x 600 image
// copied one to one (sampled_painting.h); a build with
// SEEDBANK_REFERENCE_PATHS paints all 6000 x 6000 pixels by library call
// and shrinks them.  Prints its own progress lines.  Fails when the picture
// cannot be written.  With a `legend`, the picture written has the legend
// strip below it (legend.h).
status make_summary_image(const std::string &filename, unsigned char **field, unsigned char *pallet, int step,
                          colour_ramp ramp, const legend_description *legend = nullptr);

}  // namespace seedbank::summarize
