// The opening stages that blockmap and stepmap share: the grid `field` is
// cleared, the background stripes are laid into its margins, the seed map is
// read into its data area, and the row and column totals are drawn as bars.
//
// Layout of `field` (indexed [x][y], both 1..6000):
//   data area      x 1..5000,    y 1..5000     the seed counts
//   right margin   x 5001..6000, y 1..5000     stripe 153..253, row bars 255
//   bottom margin  x 1..5000,    y 5001..6000  stripe 153..253, column bars 255
//   corner         x 5001..6000, y 5001..6000  0
#pragma once
#include <optional>
#include <string>

#include "outcome.h"
#include "owners.h"

namespace seedbank::summarize {

constexpr int field_side = 6000;
constexpr int data_side = 5000;
constexpr int bar_value = 255;
constexpr int longest_bar = 1000;

// The arrays of one run, allocated in this order: the grid `field`
// (1..6000 both ways), the row and column totals `rows` and `columns`
// (1..5000) and the colour table `pallet` (0..255).  Each is released by its
// owner; the totals as soon as the bars are drawn.
struct run_arrays {
    owned_cmatrix field{1, field_side, 1, field_side};
    std::optional<owned_ivector> rows{std::in_place, 1, data_side};
    std::optional<owned_ivector> columns{std::in_place, 1, data_side};
    owned_cvector pallet{0, 255};

    // Releases rows and columns, which are done with once the bars are drawn.
    void free_totals()
    {
        rows.reset();
        columns.reset();
    }
};

// The two progress lines in which the programs differ.
struct opening_messages {
    const char *after_clearing;  // "Done.\n\n" or "Done Clearing.\n\n"
    const char *summarizing;     // "Summarizing ...\n\n" or "Summarizing ...\n"
};

// Sets every cell of `field` to 0.
void clear_field(unsigned char **field);

// Right and bottom stripes: 153 + (index - 5000) / 10 along the margin,
// from index 5000 (overwritten by the data later) up to 6000.
void draw_background_stripes(unsigned char **field);

// Row totals of the data area into rows[1..5000]; returns the largest, but
// never less than 1, so that a bar length can always be divided by it.
int sum_rows(unsigned char **field, int *rows);
// Column totals into columns[1..5000]; the largest, never less than 1.
int sum_columns(unsigned char **field, int *columns);

// Length of the bar of one total: total * 1000 / maximum, truncated.
int bar_length(int total, int maximum);

// Bars of 255 from index 5001 on, along each row (right margin) or down each
// column (bottom margin).
void draw_row_bars(unsigned char **field, const int *rows, int max_y);
void draw_column_bars(unsigned char **field, const int *columns, int max_x);

// Runs the stages in order with their progress messages on standard output:
// clearing, stripes, reading `map_name`, totals and bars.  `rows` and
// `columns` are the caller's vectors 1..5000; they are filled here and the
// caller frees them afterwards.
// Fails when the map cannot be read (nothing is printed then beyond the
// line that names the map).
status run_opening_stages(const std::string &map_name, unsigned char **field, int *rows, int *columns,
                          const opening_messages &messages);

}  // namespace seedbank::summarize
