// Rendering the grid: the colour table, the fast painting against a plain
// pixel-by-pixel painting, and the written summary image decoded pixel by
// pixel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include <gd.h>

#include "fixture_maps.h"
#include "program_run.h"
#include "ranged_arrays.h"
#include "summary_image.h"
#include "summary_margins.h"

using namespace seedbank;
using namespace seedbank::summarize;

// Found by argument-dependent lookup from within the test macros.
namespace seedbank::summarize {

bool operator==(const rgb &a, const rgb &b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

std::ostream &operator<<(std::ostream &out, const rgb &c)
{
    return out << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

}  // namespace seedbank::summarize

namespace {

constexpr rgb white{255, 255, 255};
constexpr rgb black{0, 0, 0};

using image_ptr = gd_image;

struct field_grid {
    owned_cmatrix field_owner{1, field_side, 1, field_side};
    owned_cvector pallet_owner{0, 255};
    unsigned char **field = field_owner.get();
    unsigned char *pallet = pallet_owner.get();
};

// A grid like the programs hand over: stripes, data values up to
// `largest_data`, a few bars of various lengths, corner 0.
void fill_grid(unsigned char **field, int largest_data)
{
    clear_field(field);
    draw_background_stripes(field);
    unsigned state = 12345;
    for (int x = 1; x <= data_side; ++x)
        for (int y = 1; y <= data_side; ++y) {
            state = state * 1103515245u + 12345u;
            field[x][y] = static_cast<unsigned char>((state >> 16) % (largest_data + 1));
        }
    for (int y = 1; y <= data_side; y += 7)
        for (int x = data_side + 1; x <= data_side + (y * 37) % (longest_bar + 1); ++x)
            field[x][y] = 255;
    for (int x = 1; x <= data_side; x += 11)
        for (int y = data_side + 1; y <= data_side + (x * 53) % (longest_bar + 1); ++y)
            field[x][y] = 255;
}

std::string png_bytes(gdImagePtr image)
{
    int size = 0;
    void *data = gdImagePngPtr(image, &size);
    std::string bytes(static_cast<const char *>(data), static_cast<std::size_t>(size));
    gdFree(data);
    return bytes;
}

// The colour cell [x][y] of the grid shows in the painted image.
rgb expected_colour(unsigned char **field, int x, int y, colour_ramp ramp, int step)
{
    int v = field[x][y];
    int position;
    if (x <= 5000 && y <= 5000)
        position = (v > 152 ? 153 : v) * step;
    else if (x <= 5000 || y <= 5000)
        position = v;
    else
        return white;  // the corner is never painted
    if (position == 0)
        return white;
    if (position <= 153)
        return ramp_colour(ramp, position);
    if (position == 255)
        return black;
    return {position - 55, position - 55, position - 55};
}

rgb colour_at(const decoded_image &image, int x, int y)
{
    int index = image.at(x, y);
    return {image.red[index], image.green[index], image.blue[index]};
}

bool on_frame(int i)
{
    return i == 0 || i == 500 || i == 501 || i == 599;
}

}  // namespace

TEST(SummaryImage, ColourTableInAllocationOrder)
{
    struct ramp_case {
        colour_ramp ramp;
        rgb first, last;
    };
    const ramp_case cases[] = {{colour_ramp::green, {199, 254, 199}, {47, 102, 47}},
                               {colour_ramp::red_blue, {1, 0, 153}, {153, 0, 1}}};
    for (const ramp_case &c : cases) {
        image_ptr image(gdImageCreate(10, 10));
        unsigned char pallet[256];
        allocate_pallet(image.get(), pallet, c.ramp);

        EXPECT_EQ(gdImageColorsTotal(image.get()), 255);
        auto colour_of = [&](int entry) {
            int index = pallet[entry];
            return rgb{gdImageRed(image.get(), index), gdImageGreen(image.get(), index),
                       gdImageBlue(image.get(), index)};
        };
        EXPECT_EQ(pallet[0], 0);
        EXPECT_EQ(colour_of(0), white);
        for (int i = 155; i <= 254; ++i) {
            EXPECT_EQ(pallet[i], i - 154);
            EXPECT_EQ(colour_of(i), (rgb{i - 55, i - 55, i - 55}));
        }
        EXPECT_EQ(pallet[255], 101);
        EXPECT_EQ(colour_of(255), black);
        for (int i = 1; i <= 153; ++i)
            EXPECT_EQ(pallet[i], 101 + i);
        EXPECT_EQ(colour_of(1), c.first);
        EXPECT_EQ(colour_of(153), c.last);
        EXPECT_EQ(colour_of(76), ramp_colour(c.ramp, 76));
        EXPECT_LE(pallet[154], 254) << "entry 154 names an allocated colour";
    }
}

TEST(SummaryImage, DataValueLooksUpSteppedPosition)
{
    struct position_case {
        int value, step, position;
    };
    const position_case cases[] = {
        {0, 1, 0},   {1, 1, 1},    {152, 1, 152}, {153, 1, 153}, {255, 1, 153}, {0, 153, 0},
        {1, 3, 3},   {51, 3, 153}, {1, 76, 76},   {2, 76, 152},  {1, 153, 153}, {52, 2, 104},
        // A step too large for the data stays on the ramp's last entry.
        {2, 153, 153}, {255, 153, 153},
    };
    for (const position_case &c : cases)
        EXPECT_EQ(data_pallet_position(c.value, c.step), c.position) << c.value << " with step " << c.step;
}

TEST(SummaryImage, FastPaintingGivesTheSameImageAsLibraryCalls)
{
    struct paint_case {
        colour_ramp ramp;
        int step, largest_data;
    };
    const paint_case cases[] = {{colour_ramp::green, 1, 255}, {colour_ramp::red_blue, 3, 51}};
    for (const paint_case &c : cases) {
        SCOPED_TRACE("step " + std::to_string(c.step));
        field_grid g;
        fill_grid(g.field, c.largest_data);
        image_ptr fast(gdImageCreate(6000, 6000));
        image_ptr plain(gdImageCreate(6000, 6000));
        allocate_pallet(fast.get(), g.pallet, c.ramp);
        allocate_pallet(plain.get(), g.pallet, c.ramp);

        paint_summary(fast.get(), g.field, g.pallet, c.step);
        paint_summary_by_pixel(plain.get(), g.field, g.pallet, c.step);

        long differing = 0;
        for (int y = 0; y < 6000; ++y)
            for (int x = 0; x < 6000; ++x)
                differing += gdImageGetPixel(fast.get(), x, y) != gdImageGetPixel(plain.get(), x, y);
        EXPECT_EQ(differing, 0);
        image_ptr fast_out(shrink_and_frame(fast.get()));
        image_ptr plain_out(shrink_and_frame(plain.get()));
        EXPECT_TRUE(png_bytes(fast_out.get()) == png_bytes(plain_out.get())) << "written files differ";
    }
}

TEST(SummaryImage, WrittenImageShowsEveryTenthCellFramed)
{
    struct render_case {
        colour_ramp ramp;
        int step, largest_data;
    };
    const render_case cases[] = {{colour_ramp::green, 1, 255}, {colour_ramp::red_blue, 3, 51}};
    for (const render_case &c : cases) {
        SCOPED_TRACE("step " + std::to_string(c.step));
        field_grid g;
        fill_grid(g.field, c.largest_data);
        // Fixed cells for the spot checks below.
        g.field[100][100] = static_cast<unsigned char>(c.largest_data);
        g.field[110][100] = 0;
        g.field[120][100] = 1;
        for (int x = 5001; x <= 6000; ++x)
            g.field[x][200] = static_cast<unsigned char>(153 + (x - 5000) / 10);
        for (int x = 5001; x <= 5500; ++x)
            g.field[x][200] = 255;
        scratch_directory dir;
        std::string name = dir / "summary.png";

        ASSERT_TRUE(make_summary_image(name, g.field, g.pallet, c.step, c.ramp).ok());

        decoded_image out = decode_png_file(name);
        ASSERT_FALSE(out.true_colour);
        ASSERT_EQ(out.width, 600);
        ASSERT_EQ(out.height, 600);
        // Output pixel (d, e) shows grid cell [10d][10e]; frame lines are
        // black in the file's own palette and the corner is white.
        long wrong = 0;
        for (int e = 0; e < 600; ++e)
            for (int d = 0; d < 600; ++d) {
                rgb expected = on_frame(d) || on_frame(e) ? black
                                                          : expected_colour(g.field, 10 * d, 10 * e, c.ramp, c.step);
                if (!(colour_at(out, d, e) == expected) && ++wrong <= 5)
                    ADD_FAILURE() << "pixel (" << d << ", " << e << ") is " << colour_at(out, d, e) << ", expected "
                                  << expected;
            }
        EXPECT_EQ(wrong, 0);

        EXPECT_EQ(colour_at(out, 10, 10), ramp_colour(c.ramp, 153)) << "fullest data cell";
        EXPECT_EQ(colour_at(out, 11, 10), white) << "empty data cell";
        EXPECT_EQ(colour_at(out, 12, 10), ramp_colour(c.ramp, c.step)) << "data value 1";
        EXPECT_EQ(colour_at(out, 550, 20), black) << "end of a bar of 500";
        EXPECT_EQ(colour_at(out, 551, 20), (rgb{149, 149, 149})) << "stripe 204 after the bar";
        EXPECT_EQ(colour_at(out, 502, 20), black) << "start of the bar";
        EXPECT_EQ(colour_at(out, 550, 550), white) << "corner";
    }
}
