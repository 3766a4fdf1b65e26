// Seedling-list lines formatted by hand into large blocks.
//
// Every line is byte for byte what printf("%3d   %3d\n", x, y) prints: each
// coordinate in decimal, right-aligned in a field of at least 3 characters,
// a minus sign before a negative one.  The digits are formed here instead of
// by the stream's formatter, and the lines are handed on in blocks of about
// a mebibyte, so the cost of a line is a few stores instead of a formatted
// print.  The plain writer `write_seedling` stays the reference.
#pragma once
#include <cstddef>
#include <cstdio>
#include <functional>
#include <vector>

namespace seedbank {

// The longest line: two coordinates of 11 characters ("-2147483648"), three
// spaces and the line feed.
constexpr std::size_t longest_seedling_line = 26;

// The size of the blocks handed on, unless a caller asks for another.
constexpr std::size_t seedling_block_size = std::size_t{1} << 20;

// Writes the line of a seedling in cell (x, y) to `out`, which must have
// room for longest_seedling_line bytes; no terminating NUL.  Returns the
// number of bytes written.
std::size_t format_seedling_line(char *out, int x, int y);

// Receives the formatted lines in blocks, in order.  Every block ends with a
// complete line and holds at most the block size asked for.  The bytes are
// valid only during the call.
using line_block_sink = std::function<void(const char *bytes, std::size_t size)>;

// A sink that writes every block to `stream` (its write errors stay with
// the stream, to be reported when it is closed).
line_block_sink stream_sink(FILE *stream);

// Formats the lines of a seedling grid, indexed [x][y] with y from 1 to
// `last_y`: x outer, y inner, and a cell holding c seedlings gives c
// identical lines.  It keeps the formatted y coordinates of every row, so
// one formatter serves any number of calls, one column range at a time if
// the caller wants to split the grid (each call hands on its own blocks).
class seedling_grid_formatter {
public:
    explicit seedling_grid_formatter(int last_y, std::size_t block_size = seedling_block_size);

    // The lines of columns first_x..last_x, handed to `sink`.  Returns the
    // number of lines.
    long long format_columns(const unsigned char *const *grid, int first_x, int last_x,
                             const line_block_sink &sink) const;

private:
    // One coordinate field with its separator, padded to a fixed slot so
    // that it can be copied with a constant-size move.
    struct field_text {
        char bytes[16];
        std::size_t length;
    };

    int last_y_;
    std::size_t block_size_;
    std::vector<field_text> row_suffix_;  // [y]: y, then the line feed
};

// Lines one at a time in the caller's order (generate writes in drawing
// order), gathered into a block and written to `stream` whenever the block
// is full, and at flush() or destruction.
class seedling_line_writer {
public:
    explicit seedling_line_writer(FILE *stream, std::size_t block_size = seedling_block_size);
    ~seedling_line_writer();
    seedling_line_writer(const seedling_line_writer &) = delete;
    seedling_line_writer &operator=(const seedling_line_writer &) = delete;

    void add(int x, int y);
    void flush();

private:
    FILE *stream_;
    std::vector<char> block_;
    std::size_t used_ = 0;
};

}  // namespace seedbank
