// Painting only the sampled pixels against painting all of them: which
// pixels the library's tenfold shrink takes, and the written summary bytes
// on many grids and every palette step.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gd.h>

#include "fixture_maps.h"
#include "program_run.h"
#include "owners.h"
#include "sampled_painting.h"
#include "summary_image.h"
#include "summary_margins.h"

using namespace seedbank;
using namespace seedbank::summarize;

namespace {

using image_ptr = gd_image;

struct field_grid {
    owned_cmatrix field_owner{1, field_side, 1, field_side};
    owned_cvector pallet_owner{0, 255};
    unsigned char **field = field_owner.get();
    unsigned char *pallet = pallet_owner.get();
};

std::string png_bytes(gdImagePtr image)
{
    int size = 0;
    void *data = gdImagePngPtr(image, &size);
    std::string bytes(static_cast<const char *>(data), static_cast<std::size_t>(size));
    gdFree(data);
    return bytes;
}

// Palette images with the same colour table, in the same order, and the
// same pixels: the PNG encoder writes the same bytes for both.  Cheaper than
// encoding, for the checks repeated many times.
testing::AssertionResult same_palette_image(gdImagePtr a, gdImagePtr b)
{
    if (gdImageSX(a) != gdImageSX(b) || gdImageSY(a) != gdImageSY(b))
        return testing::AssertionFailure() << "sizes differ";
    if (gdImageColorsTotal(a) != gdImageColorsTotal(b) || gdImageGetTransparent(a) != gdImageGetTransparent(b))
        return testing::AssertionFailure() << "colour tables differ in size or transparency";
    for (int i = 0; i < gdImageColorsTotal(a); ++i)
        if (a->red[i] != b->red[i] || a->green[i] != b->green[i] || a->blue[i] != b->blue[i] ||
            a->alpha[i] != b->alpha[i] || a->open[i] != b->open[i])
            return testing::AssertionFailure() << "colour " << i << " differs";
    for (int y = 0; y < gdImageSY(a); ++y)
        if (std::memcmp(a->pixels[y], b->pixels[y], static_cast<std::size_t>(gdImageSX(a))) != 0)
            return testing::AssertionFailure() << "pixel row " << y << " differs";
    return testing::AssertionSuccess();
}

// A fast, fixed stream of bytes for filling grids.
struct byte_stream {
    std::uint64_t state;
    unsigned next(unsigned choices)
    {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<unsigned>((state >> 24) % choices);
    }
};

// The libgd shrink puts source pixel 10d on output pixel d, in both
// directions: a picture whose colour names its column (then its row) shows,
// in every output column (row) d from 1 to 599, the colour of 10d.
TEST(LibraryShrink, TakesEveryTenthPixelInBothDirections)
{
    for (bool by_row : {false, true}) {
        SCOPED_TRACE(by_row ? "rows" : "columns");
        image_ptr source(gdImageCreate(field_side, field_side));
        for (int i = 0; i < 250; ++i)
            gdImageColorAllocate(source.get(), i, 0, 255 - i);
        for (int y = 0; y < field_side; ++y)
            for (int x = 0; x < field_side; ++x)
                source->pixels[y][x] = static_cast<unsigned char>((by_row ? y : x) % 250);
        image_ptr shrunk(gdImageCreate(summary_side, summary_side));
        gdImageCopyResized(shrunk.get(), source.get(), 1, 1, 1, 1, summary_side, summary_side, field_side,
                           field_side);
        for (int d = 1; d < summary_side; ++d) {
            const int index = by_row ? gdImageGetPixel(shrunk.get(), 7, d) : gdImageGetPixel(shrunk.get(), d, 7);
            ASSERT_EQ(gdImageRed(shrunk.get(), index), (shrink_factor * d) % 250) << "output " << d;
        }
    }
}

// How a grid is filled for one case: data values 0..largest_data on a
// fraction of cells, stripes, bars.
struct grid_case {
    const char *name;
    colour_ramp ramp;
    int step;
    int largest_data;
    int occupied_percent;
    int bar_every;  // rows and columns with a bar; 0: no bars
};

void fill_grid(unsigned char **field, const grid_case &c, std::uint64_t seed)
{
    clear_field(field);
    draw_background_stripes(field);
    byte_stream bytes{seed};
    for (int x = 1; x <= data_side; ++x)
        for (int y = 1; y <= data_side; ++y)
            if (static_cast<int>(bytes.next(100)) < c.occupied_percent)
                field[x][y] = static_cast<unsigned char>(bytes.next(static_cast<unsigned>(c.largest_data) + 1));
            else
                field[x][y] = 0;
    if (c.bar_every > 0) {
        for (int y = 1; y <= data_side; y += c.bar_every)
            for (int x = data_side + 1; x <= data_side + static_cast<int>(bytes.next(longest_bar + 1)); ++x)
                field[x][y] = bar_value;
        for (int x = 1; x <= data_side; x += c.bar_every)
            for (int y = data_side + 1; y <= data_side + static_cast<int>(bytes.next(longest_bar + 1)); ++y)
                field[x][y] = bar_value;
    }
}

// The summary bytes from a painted image, 600 x 600 for the sampled
// painting and 6000 x 6000 for the others, as make_summary_image writes
// them.
std::string summary_from(void (*paint)(gdImagePtr, unsigned char **, const unsigned char *, int), field_grid &g,
                         colour_ramp ramp, int step)
{
    const int side = paint == paint_sampled_pixels ? summary_side : field_side;
    image_ptr painted(gdImageCreate(side, side));
    allocate_pallet(painted.get(), g.pallet, ramp);
    paint(painted.get(), g.field, g.pallet, step);
    image_ptr shrunk(shrink_and_frame(painted.get()));
    return png_bytes(shrunk.get());
}

class SampledPainting : public testing::TestWithParam<grid_case> {};

// Against the reference painting, one library call per pixel.
TEST_P(SampledPainting, WritesTheSummaryOfThePixelByPixelPainting)
{
    const grid_case &c = GetParam();
    field_grid g;
    fill_grid(g.field, c, 0x9E3779B97F4A7C15ull);
    const std::string reference = summary_from(paint_summary_by_pixel, g, c.ramp, c.step);
    const std::string sampled = summary_from(paint_sampled_pixels, g, c.ramp, c.step);
    EXPECT_TRUE(sampled == reference) << "summary images differ";

    // And the file the programs write.
    scratch_directory dir;
    const std::string name = dir / "summary.png";
    testing::internal::CaptureStdout();
    ASSERT_TRUE(make_summary_image(name, g.field, g.pallet, c.step, c.ramp).ok());
    testing::internal::GetCapturedStdout();
    EXPECT_TRUE(read_file(name) == reference) << "written summary differs";
}

INSTANTIATE_TEST_SUITE_P(
    Grids, SampledPainting,
    testing::Values(grid_case{"blockmap_dense_every_value", colour_ramp::green, 1, 255, 100, 3},
                    grid_case{"blockmap_sparse", colour_ramp::green, 1, 153, 1, 50},
                    grid_case{"stepmap_largest_51", colour_ramp::red_blue, 3, 51, 60, 7},
                    grid_case{"stepmap_largest_2", colour_ramp::red_blue, 76, 2, 30, 11},
                    grid_case{"stepmap_above_152", colour_ramp::red_blue, 1, 255, 100, 5},
                    grid_case{"empty_map_no_bars", colour_ramp::red_blue, 153, 0, 0, 0},
                    grid_case{"full_255_every_bar", colour_ramp::green, 1, 255, 100, 1}),
    [](const testing::TestParamInfo<grid_case> &instance) { return std::string(instance.param.name); });

// Every step stepmap can pass, each with data up to the largest value that
// gives it, against the full tiled painting (itself held to the
// pixel-by-pixel one by the summary-image tests).  One random grid serves
// all steps: its data values are scaled down to each step's range.
TEST(SampledPaintingSteps, EveryStepWritesTheSummaryOfTheFullPainting)
{
    const grid_case c{"every_value", colour_ramp::red_blue, 1, 255, 80, 13};
    field_grid g;
    fill_grid(g.field, c, 1000003ull);
    std::vector<unsigned char> original(static_cast<std::size_t>(data_side) * data_side);
    for (int x = 1; x <= data_side; ++x)
        std::memcpy(&original[static_cast<std::size_t>(x - 1) * data_side], &g.field[x][1], data_side);

    image_ptr full(gdImageCreate(field_side, field_side));
    allocate_pallet(full.get(), g.pallet, c.ramp);
    for (int step = 1; step <= ramp_entries; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const int largest = step == 1 ? 255 : ramp_entries / step;
        unsigned char scaled[256];
        for (int v = 0; v < 256; ++v)
            scaled[v] = static_cast<unsigned char>((v * largest + 254) / 255);
        for (int x = 1; x <= data_side; ++x) {
            const unsigned char *from = &original[static_cast<std::size_t>(x - 1) * data_side];
            for (int y = 1; y <= data_side; ++y)
                g.field[x][y] = scaled[from[y - 1]];
        }
        // The full image is painted over completely each time.
        paint_summary(full.get(), g.field, g.pallet, step);
        image_ptr full_out(shrink_and_frame(full.get()));

        image_ptr painted(gdImageCreate(summary_side, summary_side));
        allocate_pallet(painted.get(), g.pallet, c.ramp);
        paint_sampled_pixels(painted.get(), g.field, g.pallet, step);
        image_ptr sampled_out(shrink_and_frame(painted.get()));
        ASSERT_TRUE(same_palette_image(sampled_out.get(), full_out.get()));
    }
}

// The plain reading, one library call per cell, fills the data area as the
// tiled one does, for maps smaller and larger than the field.
class ReadingByPixel : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(ReadingByPixel, FillsTheDataAreaAsTheTiledReading)
{
    const auto [width, height] = GetParam();
    scratch_directory dir;
    const std::string map = dir / "map.png";
    write_seed_map_file(map, width, height, [](int x, int y) { return (x * 31 + y * 17 + x * y) % 256; });
    field_grid tiled, plain;
    clear_field(tiled.field);
    draw_background_stripes(tiled.field);
    clear_field(plain.field);
    draw_background_stripes(plain.field);
    ASSERT_TRUE(read_image(map, tiled.field).ok());
    ASSERT_TRUE(read_image_by_pixel(map, plain.field).ok());
    long differing = 0;
    for (int x = 1; x <= field_side; ++x)
        for (int y = 1; y <= field_side; ++y)
            differing += tiled.field[x][y] != plain.field[x][y];
    EXPECT_EQ(differing, 0);
}

INSTANTIATE_TEST_SUITE_P(Maps, ReadingByPixel,
                         testing::Values(std::pair{5000, 5000}, std::pair{1234, 4321}, std::pair{5100, 5001}),
                         [](const testing::TestParamInfo<std::pair<int, int>> &instance) {
                             return std::to_string(instance.param.first) + "x" +
                                    std::to_string(instance.param.second);
                         });

}  // namespace
