#include "summary_margins.h"

#include <cstdio>
#include <cstring>

#include "ranged_arrays.h"
#include "summary_image.h"

namespace seedbank::summarize {

void clear_field(unsigned char **field)
{
    for (int x = 1; x <= field_side; ++x)
        std::memset(&field[x][1], 0, field_side);
}

void draw_background_stripes(unsigned char **field)
{
    // Right margin: the value depends on x alone, so each column is one run.
    for (int x = data_side; x <= field_side; ++x)
        std::memset(&field[x][1], 153 + (x - data_side) / 10, data_side);
    // Bottom margin: the same stripe along y.
    for (int x = 1; x <= data_side; ++x)
        for (int y = data_side; y <= field_side; ++y)
            field[x][y] = static_cast<unsigned char>(153 + (y - data_side) / 10);
}

int sum_rows(unsigned char **field, int *rows)
{
    // Visited column by column, which reads the grid in storage order; the
    // totals are the same in any order.
    for (int y = 1; y <= data_side; ++y)
        rows[y] = 0;
    for (int x = 1; x <= data_side; ++x) {
        const unsigned char *column = field[x];
        for (int y = 1; y <= data_side; ++y)
            rows[y] += column[y];
    }
    int max_y = 1;
    for (int y = 1; y <= data_side; ++y)
        if (rows[y] > max_y)
            max_y = rows[y];
    return max_y;
}

int sum_columns(unsigned char **field, int *columns)
{
    int max_x = 1;
    for (int x = 1; x <= data_side; ++x) {
        const unsigned char *column = field[x];
        int total = 0;
        for (int y = 1; y <= data_side; ++y)
            total += column[y];
        columns[x] = total;
        if (total > max_x)
            max_x = total;
    }
    return max_x;
}

int bar_length(int total, int maximum)
{
    // A total is at most 5000 * 255, so 1000 times it still fits an int;
    // the wider type only keeps that from being a silent assumption.
    return static_cast<int>(static_cast<long long>(total) * longest_bar / maximum);
}

void draw_row_bars(unsigned char **field, const int *rows, int max_y)
{
    for (int y = 1; y <= data_side; ++y) {
        int length = bar_length(rows[y], max_y);
        for (int x = data_side + 1; x <= data_side + length; ++x)
            field[x][y] = bar_value;
    }
}

void draw_column_bars(unsigned char **field, const int *columns, int max_x)
{
    for (int x = 1; x <= data_side; ++x)
        std::memset(&field[x][data_side + 1], bar_value, bar_length(columns[x], max_x));
}

status run_opening_stages(const std::string &map_name, unsigned char **field, int *rows, int *columns,
                          const opening_messages &messages)
{
    std::printf("\nClearing out Matrices and Vectors ....\n");
    clear_field(field);
    draw_background_stripes(field);
    for (int i = 1; i <= data_side; ++i)
        rows[i] = columns[i] = 0;
    std::printf("%s", messages.after_clearing);
    std::printf("Reading Input Image %s ...\n", map_name.c_str());
    if (status read = read_image(map_name, field); !read)
        return read;
    std::printf("Done.\n\n");
    std::printf("%s", messages.summarizing);
    int max_y = sum_rows(field, rows);
    int max_x = sum_columns(field, columns);
    draw_row_bars(field, rows, max_y);
    draw_column_bars(field, columns, max_x);
    return {};
}

}  // namespace seedbank::summarize
