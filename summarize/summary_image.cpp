#include "summary_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "legend.h"
#include "output_file.h"
#include "sampled_painting.h"
#include "ranged_arrays.h"
#include "seed_map.h"
#include "summary_margins.h"

namespace seedbank::summarize {

namespace {

// The grid is indexed [x][y] and an image's pixels [y][x], so every copy
// between them is a transpose.  Working through square tiles keeps both
// sides of the copy in cache.
constexpr int tile = 64;

gd_image create_image(int width, int height)
{
    gd_image image(gdImageCreate(width, height));
    if (image == nullptr)
        fatal_error("allocation failure in gdImageCreate()");
    return image;
}

// Sets pixel (x, y) to colour[field[x][y]] for x in first_x..last_x and
// y in first_y..last_y, clipped to the image.
void paint_region(gdImagePtr image, unsigned char **field, const unsigned char *colour, int first_x, int last_x,
                  int first_y, int last_y)
{
    last_x = std::min(last_x, gdImageSX(image) - 1);
    last_y = std::min(last_y, gdImageSY(image) - 1);
    for (int x0 = first_x; x0 <= last_x; x0 += tile) {
        int x1 = std::min(x0 + tile - 1, last_x);
        for (int y0 = first_y; y0 <= last_y; y0 += tile) {
            int y1 = std::min(y0 + tile - 1, last_y);
            for (int y = y0; y <= y1; ++y) {
                unsigned char *row = image->pixels[y];
                for (int x = x0; x <= x1; ++x)
                    row[x] = colour[field[x][y]];
            }
        }
    }
}

void draw_frame(gdImagePtr image, int colour)
{
    const int width = gdImageSX(image), height = gdImageSY(image);
    for (int y : {0, 500, 501, 599})
        for (int x = 0; x < width; ++x)
            gdImageSetPixel(image, x, y, colour);
    for (int x : {0, 500, 501, 599})
        for (int y = 0; y < height; ++y)
            gdImageSetPixel(image, x, y, colour);
}

// Written beside the destination and moved into place once complete, so a
// failed write leaves an earlier summary image as it was.
status write_summary(gdImagePtr image, const std::string &filename)
{
    outcome<output_file> file = open_output(filename);
    if (!file)
        return file.error();
    gdImagePng(image, file.value().stream());
    return commit_output(file.value());
}

}  // namespace

rgb ramp_colour(colour_ramp ramp, int entry)
{
    if (ramp == colour_ramp::green)
        return {200 - entry, 255 - entry, 200 - entry};
    return {entry, 0, 154 - entry};
}

status read_image(const std::string &filename, unsigned char **field)
{
#ifdef SEEDBANK_REFERENCE_PATHS
    return read_image_by_pixel(filename, field);
#endif
    outcome<gd_image> read = read_seed_map(filename);
    if (!read)
        return read.error();
    gdImagePtr map = read.value().get();
    // Cells beyond the map's last pixel column or row read as 0.
    const int last_x = std::min(gdImageSX(map) - 1, data_side);
    const int last_y = std::min(gdImageSY(map) - 1, data_side);
    for (int x = 1; x <= data_side; ++x) {
        int first_empty = x <= last_x ? last_y + 1 : 1;
        if (first_empty <= data_side)
            std::memset(&field[x][first_empty], 0, data_side - first_empty + 1);
    }
    for (int x0 = 1; x0 <= last_x; x0 += tile) {
        int x1 = std::min(x0 + tile - 1, last_x);
        for (int y0 = 1; y0 <= last_y; y0 += tile) {
            int y1 = std::min(y0 + tile - 1, last_y);
            for (int y = y0; y <= y1; ++y) {
                const unsigned char *row = map->pixels[y];
                for (int x = x0; x <= x1; ++x)
                    field[x][y] = row[x];
            }
        }
    }
    return {};
}

status read_image_by_pixel(const std::string &filename, unsigned char **field)
{
    outcome<gd_image> read = read_seed_map(filename);
    if (!read)
        return read.error();
    gdImagePtr map = read.value().get();
    for (int x = 1; x <= data_side; ++x)
        for (int y = 1; y <= data_side; ++y)
            field[x][y] = static_cast<unsigned char>(gdImageGetPixel(map, x, y));
    return {};
}

void allocate_pallet(gdImagePtr image, unsigned char *pallet, colour_ramp ramp)
{
    pallet[0] = static_cast<unsigned char>(gdImageColorAllocate(image, 255, 255, 255));
    for (int i = 155; i <= 254; ++i)
        pallet[i] = static_cast<unsigned char>(gdImageColorAllocate(image, i - 55, i - 55, i - 55));
    pallet[255] = static_cast<unsigned char>(gdImageColorAllocate(image, 0, 0, 0));
    for (int i = 1; i <= ramp_entries; ++i) {
        rgb colour = ramp_colour(ramp, i);
        pallet[i] = static_cast<unsigned char>(gdImageColorAllocate(image, colour.red, colour.green, colour.blue));
    }
    // Only the stripe cells 5010..5019 hold 154, and the frame covers them.
    pallet[154] = pallet[0];
}

int data_pallet_position(int value, int step)
{
    long long position = static_cast<long long>(std::min(value, ramp_entries)) * step;
    return static_cast<int>(std::clamp(position, 0LL, static_cast<long long>(ramp_entries)));
}

void paint_summary(gdImagePtr image, unsigned char **field, const unsigned char *pallet, int step)
{
    // The colour of each of the 256 cell values, looked up once.
    unsigned char data_colour[256], margin_colour[256];
    for (int v = 0; v < 256; ++v) {
        data_colour[v] = pallet[data_pallet_position(v, step)];
        margin_colour[v] = pallet[v];
    }
    paint_region(image, field, data_colour, 1, data_side, 1, data_side);
    paint_region(image, field, margin_colour, data_side + 1, field_side, 1, data_side);
    paint_region(image, field, margin_colour, 1, data_side, data_side + 1, field_side);
}

void paint_summary_by_pixel(gdImagePtr image, unsigned char **field, const unsigned char *pallet, int step)
{
    for (int x = 1; x <= data_side; ++x)
        for (int y = 1; y <= data_side; ++y) {
            const int v = field[x][y];
            gdImageSetPixel(image, x, y, pallet[v > 152 ? 153 * step : v * step]);
        }
    for (int y = 1; y <= data_side; ++y)
        for (int x = data_side + 1; x <= field_side; ++x)
            gdImageSetPixel(image, x, y, pallet[field[x][y]]);
    for (int x = 1; x <= data_side; ++x)
        for (int y = data_side + 1; y <= field_side; ++y)
            gdImageSetPixel(image, x, y, pallet[field[x][y]]);
}

gd_image shrink_and_frame(gdImagePtr image)
{
    gd_image shrunk = create_image(summary_side, summary_side);
    gdImageCopyResized(shrunk.get(), image, 1, 1, 1, 1, gdImageSX(shrunk.get()), gdImageSY(shrunk.get()), gdImageSX(image),
                       gdImageSY(image));
    // The copy brings at most the 255 colours of the painted image along,
    // so there is always room for black.
    draw_frame(shrunk.get(), gdImageColorAllocate(shrunk.get(), 0, 0, 0));
    return shrunk;
}

status make_summary_image(const std::string &filename, unsigned char **field, unsigned char *pallet, int step,
                          colour_ramp ramp, const legend_description *legend)
{
#ifdef SEEDBANK_REFERENCE_PATHS
    gd_image im_in = create_image(field_side, field_side);
#else
    gd_image im_in = create_image(summary_side, summary_side);
#endif
    std::printf("\n\tCreating Pallet...\n");
    allocate_pallet(im_in.get(), pallet, ramp);
    std::printf("\tFilling Image...\n");
#ifdef SEEDBANK_REFERENCE_PATHS
    paint_summary_by_pixel(im_in.get(), field, pallet, step);
#else
    paint_sampled_pixels(im_in.get(), field, pallet, step);
#endif
    gd_image im_out = shrink_and_frame(im_in.get());
    im_in.reset();
    if (legend != nullptr) {
        im_out = add_legend(im_out.get(), *legend);
        if (im_out == nullptr)
            fatal_error("allocation failure in gdImageCreate()");
    }
    std::printf("\tWriting Image...\n\n");
    return write_summary(im_out.get(), filename);
}

}  // namespace seedbank::summarize
