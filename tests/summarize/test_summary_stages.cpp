// The stages of the two summarisers that fill the grid: margins, reading,
// totals and bars, block scaling, and the palette step.
#include <gtest/gtest.h>

#include <functional>

#include "block_summary.h"
#include "fixture_maps.h"
#include "program_run.h"
#include "ranged_arrays.h"
#include "step_summary.h"
#include "summary_image.h"
#include "summary_margins.h"

using namespace seedbank;
using namespace seedbank::summarize;

namespace {

// The grid as the programs hold it after clearing, laying the stripes and
// reading a map without seeds (which also clears index 5000 of the stripes).
struct grid {
    owned_cmatrix field_owner{1, field_side, 1, field_side};
    owned_ivector rows_owner{1, data_side};
    owned_ivector columns_owner{1, data_side};
    unsigned char **field = field_owner.get();
    int *rows = rows_owner.get();
    int *columns = columns_owner.get();

    grid()
    {
        clear_field(field);
        draw_background_stripes(field);
        for (int x = 1; x <= data_side; ++x)
            for (int y = 1; y <= data_side; ++y)
                field[x][y] = 0;
    }

    void draw_bars()
    {
        draw_row_bars(field, rows, sum_rows(field, rows));
        draw_column_bars(field, columns, sum_columns(field, columns));
    }
};

// Counts the data cells for which `expected` disagrees with the grid,
// reporting the first few.
int data_mismatches(unsigned char **field, const std::function<int(int, int)> &expected)
{
    int mismatches = 0;
    for (int x = 1; x <= data_side; ++x)
        for (int y = 1; y <= data_side; ++y)
            if (field[x][y] != expected(x, y) && ++mismatches <= 5)
                ADD_FAILURE() << "cell (" << x << ", " << y << ") holds " << static_cast<int>(field[x][y])
                              << ", expected " << expected(x, y);
    return mismatches;
}

int pattern(int x, int y)
{
    return (x * 7 + y * 13) % 256;
}

}  // namespace

TEST(SummaryMargins, StripeValuesAlongBothMargins)
{
    grid g;
    clear_field(g.field);
    draw_background_stripes(g.field);  // as laid, before reading
    struct stripe_case {
        int index, value;
    };
    const stripe_case cases[] = {{5000, 153}, {5001, 153}, {5009, 153}, {5010, 154}, {5019, 154},
                                 {5020, 155}, {5029, 155}, {5990, 252}, {5999, 252}, {6000, 253}};
    for (const stripe_case &c : cases)
        for (int across : {1, 2500, 5000}) {
            EXPECT_EQ(g.field[c.index][across], c.value) << "right margin x " << c.index << ", y " << across;
            EXPECT_EQ(g.field[across][c.index], c.value) << "bottom margin y " << c.index << ", x " << across;
        }

    long corner_nonzero = 0, data_nonzero = 0, value_254 = 0;
    for (int x = 1; x <= field_side; ++x)
        for (int y = 1; y <= field_side; ++y) {
            int v = g.field[x][y];
            value_254 += v == 254;
            if (x > data_side && y > data_side)
                corner_nonzero += v != 0;
            else if (x < data_side && y < data_side)
                data_nonzero += v != 0;
        }
    EXPECT_EQ(corner_nonzero, 0);
    EXPECT_EQ(data_nonzero, 0);
    EXPECT_EQ(value_254, 0);
}

TEST(SummaryMargins, BarLengthIsTotalPerMilleOfMaximum)
{
    struct bar_case {
        int total, maximum, length;
    };
    const bar_case cases[] = {
        {3, 3, 1000},  {1, 3, 333},   {2, 3, 666},          {1, 1000, 1},
        {1, 1001, 0},  {0, 1, 0},     {1275000, 1275000, 1000}, {1, 1275000, 0},
    };
    for (const bar_case &c : cases)
        EXPECT_EQ(bar_length(c.total, c.maximum), c.length) << c.total << " of " << c.maximum;
}

TEST(SummaryMargins, BarsEndWhereTheirLengthSays)
{
    grid g;
    // Row totals 1020, 340, 1, 1020; column totals 766, 595, 510, 510.
    for (int x = 1; x <= 4; ++x)
        g.field[x][1] = g.field[x][4] = 255;
    g.field[1][2] = 255;
    g.field[2][2] = 85;
    g.field[1][3] = 1;
    g.draw_bars();

    struct bar_case {
        int index, length;
    };
    const bar_case row_bars[] = {{1, 1000}, {2, 333}, {3, 0}, {4, 1000}, {5, 0}, {4999, 0}};
    for (const bar_case &c : row_bars) {
        for (int x = data_side + 1; x <= data_side + c.length; ++x)
            ASSERT_EQ(g.field[x][c.index], 255) << "row " << c.index << ", x " << x;
        if (c.length < longest_bar) {
            EXPECT_NE(g.field[data_side + c.length + 1][c.index], 255) << "row " << c.index;
        }
    }
    const bar_case column_bars[] = {{1, 1000}, {2, 776}, {3, 665}, {4, 665}, {5, 0}};
    for (const bar_case &c : column_bars) {
        for (int y = data_side + 1; y <= data_side + c.length; ++y)
            ASSERT_EQ(g.field[c.index][y], 255) << "column " << c.index << ", y " << y;
        if (c.length < longest_bar) {
            EXPECT_NE(g.field[c.index][data_side + c.length + 1], 255) << "column " << c.index;
        }
    }
    EXPECT_EQ(g.rows[2], 340);
    EXPECT_EQ(g.columns[1], 766);
    EXPECT_EQ(g.field[data_side + 334][2], 153 + 334 / 10) << "the stripe goes on after the bar";
}

TEST(SummaryMargins, EmptyDataAreaDrawsNoBars)
{
    grid g;
    EXPECT_EQ(sum_rows(g.field, g.rows), 1);
    EXPECT_EQ(sum_columns(g.field, g.columns), 1);
    g.draw_bars();
    for (int i = 1; i <= data_side; ++i) {
        ASSERT_EQ(g.field[data_side + 1][i], 153) << "row " << i;
        ASSERT_EQ(g.field[i][data_side + 1], 153) << "column " << i;
    }
}

TEST(SummaryMargins, ReadImageFillsDataAreaOnly)
{
    struct size_case {
        int width, height;
    };
    // Smaller than the field, the field's own size (cells 5000 have no
    // pixel), and larger (cells 5000 have one, pixels beyond are ignored).
    const size_case cases[] = {{300, 200}, {5000, 5000}, {5003, 5002}};
    for (const size_case &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        scratch_directory dir;
        write_seed_map_file(dir / "map.png", c.width, c.height, pattern);
        grid g;
        for (int x = 1; x <= data_side; ++x)
            for (int y = 1; y <= data_side; ++y)
                g.field[x][y] = 77;

        ASSERT_TRUE(read_image(dir / "map.png", g.field).ok());

        EXPECT_EQ(data_mismatches(g.field,
                                  [&](int x, int y) { return x < c.width && y < c.height ? pattern(x, y) : 0; }),
                  0);
        for (int i = 1; i <= data_side; ++i) {
            ASSERT_EQ(g.field[data_side + 1][i], 153);
            ASSERT_EQ(g.field[i][data_side + 1], 153);
        }
        EXPECT_EQ(g.field[field_side][field_side], 0);
    }
}

TEST(BlockmapStages, SingleSeedMap)
{
    scratch_directory dir;
    write_sparse_seed_map_file(dir / "map.png", {{23, 47, 1}});
    grid g;
    ASSERT_TRUE(run_opening_stages(dir / "map.png", g.field, g.rows, g.columns, {"Done.\n\n", "Summarizing ...\n\n"}).ok());

    // Full bars for row 47 and column 23, none elsewhere.
    for (int i = 1; i <= data_side; ++i) {
        int along_row = i == 47 ? 255 : 153;
        int along_column = i == 23 ? 255 : 153;
        ASSERT_EQ(g.field[data_side + 1][i], along_row) << "row " << i;
        ASSERT_EQ(g.field[field_side][i], i == 47 ? 255 : 253) << "row " << i;
        ASSERT_EQ(g.field[i][data_side + 1], along_column) << "column " << i;
        ASSERT_EQ(g.field[i][field_side], i == 23 ? 255 : 253) << "column " << i;
    }

    int max_sum = block_maximum(g.field);
    EXPECT_EQ(max_sum, 1);
    scale_blocks(g.field, max_sum);
    // Block (3, 5) covers x 21..30, y 41..50; its cells are visited x outer,
    // y inner, and hold 153 from the seed on.
    EXPECT_EQ(data_mismatches(g.field,
                              [](int x, int y) {
                                  bool in_block = x >= 21 && x <= 30 && y >= 41 && y <= 50;
                                  bool from_seed_on = x > 23 || (x == 23 && y >= 47);
                                  return in_block && from_seed_on ? 153 : 0;
                              }),
              0);
}

TEST(BlockmapStages, QuotientIsTruncatedBeforeRounding)
{
    grid g;
    struct block_case {
        int i, j, total, last_cell;
    };
    // With the fullest block holding 10 seeds.
    const block_case cases[] = {{1, 1, 10, 153}, {2, 1, 5, 76}, {3, 1, 1, 15}, {4, 7, 9, 137}, {500, 500, 3, 45}};
    for (const block_case &c : cases)
        g.field[10 * c.i - 9][10 * c.j - 9] = static_cast<unsigned char>(c.total);

    int max_sum = block_maximum(g.field);
    ASSERT_EQ(max_sum, 10);
    scale_blocks(g.field, max_sum);
    for (const block_case &c : cases)
        EXPECT_EQ(g.field[10 * c.i][10 * c.j], c.last_cell) << "block (" << c.i << ", " << c.j << ")";
}

TEST(BlockmapStages, RunningSumWithinBlock)
{
    grid g;
    // Block (2, 1): x 11..20, y 1..10.  Totals after each seed: 4, 10, 20.
    g.field[11][3] = 4;
    g.field[15][1] = 6;
    g.field[20][10] = 10;
    g.field[100][100] = 20;  // another block, as full
    int max_sum = block_maximum(g.field);
    ASSERT_EQ(max_sum, 20);
    scale_blocks(g.field, max_sum);
    struct cell_case {
        int x, y, value;
    };
    const cell_case cases[] = {{11, 2, 0},  {11, 3, 30}, {14, 10, 30}, {15, 1, 76},
                               {20, 9, 76}, {20, 10, 153}, {91, 91, 0}, {100, 100, 153}};
    for (const cell_case &c : cases)
        EXPECT_EQ(g.field[c.x][c.y], c.value) << "cell (" << c.x << ", " << c.y << ")";
}

TEST(BlockmapStages, MapWithoutSeedsScalesToZero)
{
    grid g;
    int max_sum = block_maximum(g.field);
    EXPECT_EQ(max_sum, 1);
    scale_blocks(g.field, max_sum);
    EXPECT_EQ(data_mismatches(g.field, [](int, int) { return 0; }), 0);
}

TEST(BlockmapRound, HalvesGoUpAndCutoffDecides)
{
    struct round_case {
        float value, cutoff;
        int result;
    };
    const round_case cases[] = {
        {2.5f, 0.5f, 3},   {2.4f, 0.5f, 2},  {-2.5f, 0.5f, -2}, {-2.4f, 0.5f, -2}, {-2.6f, 0.5f, -3},
        {7.0f, 0.5f, 7},   {7.0f, 0.0f, 7},  {7.0f, 1.0f, 7},   {2.1f, 0.0f, 3},   {2.9f, 1.0f, 2},
        {2.1f, -1.0f, 3},  {2.9f, 2.0f, 2},  {76.0f, 0.5f, 76}, {0.0f, 0.5f, 0},   {153.0f, 0.5f, 153},
        {2.25f, 0.25f, 3}, {2.2f, 0.25f, 2},
    };
    for (const round_case &c : cases)
        EXPECT_EQ(round(c.value, c.cutoff), c.result) << "round(" << c.value << ", " << c.cutoff << ")";
}

TEST(StepmapStages, PaletteStepTable)
{
    struct step_case {
        int largest, step;
    };
    const step_case cases[] = {{1, 153},  {2, 76},  {3, 51},  {51, 3},  {52, 2},   {76, 2},
                               {77, 1},   {152, 1}, {153, 1}, {154, 1}, {200, 1},  {255, 1}};
    for (const step_case &c : cases)
        EXPECT_EQ(palette_step(c.largest), c.step) << "largest " << c.largest;
}

TEST(StepmapStages, LargestValueIgnoresMargins)
{
    grid g;
    EXPECT_EQ(largest_cell_value(g.field), 1) << "no seeds";
    g.field[17][4000] = 2;
    g.field[3][5] = 1;
    g.draw_bars();
    ASSERT_EQ(g.field[data_side + 1][4000], 255) << "a bar is drawn";
    EXPECT_EQ(largest_cell_value(g.field), 2);
    g.field[5000][5000] = 200;
    EXPECT_EQ(largest_cell_value(g.field), 200) << "index 5000 belongs to the data area";
}
