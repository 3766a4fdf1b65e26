#include "seedling_lines.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "seedling_list.h"

namespace seedbank {

namespace {

// Room past the end of a block for the fixed-size moves of the last line.
constexpr std::size_t block_slack = 32;

// Writes `value` as "%3d" does: the decimal digits, a minus sign before them
// when negative, spaces in front up to a width of 3.  Returns the length.
std::size_t format_coordinate(char *out, int value)
{
    // The magnitude as unsigned, so that the smallest int has one too.
    const bool negative = value < 0;
    std::uint32_t magnitude = negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    char digits[10];
    std::size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);

    const std::size_t used = count + (negative ? 1 : 0);
    const std::size_t padding = used < 3 ? 3 - used : 0;
    std::size_t length = 0;
    for (std::size_t i = 0; i < padding; ++i)
        out[length++] = ' ';
    if (negative)
        out[length++] = '-';
    while (count > 0)
        out[length++] = digits[--count];
    return length;
}

// Stores one line in `line` (at least 32 bytes): the column's prefix, then
// the row's suffix, both copied whole from their 16-byte slots.
template <typename field_text>
std::size_t assemble_line(char *line, const field_text &prefix, const field_text &suffix)
{
    std::memcpy(line, prefix.bytes, sizeof prefix.bytes);
    std::memcpy(line + prefix.length, suffix.bytes, sizeof suffix.bytes);
    return prefix.length + suffix.length;
}

// The next y >= y whose cell is not empty, or last_y + 1; empty stretches
// are passed eight cells at a time.
int next_occupied(const unsigned char *column, int y, int last_y)
{
    while (y + 7 <= last_y) {
        std::uint64_t eight;
        std::memcpy(&eight, column + y, sizeof eight);
        if (eight != 0)
            break;
        y += 8;
    }
    while (y <= last_y && column[y] == 0)
        ++y;
    return y;
}

}  // namespace

std::size_t format_seedling_line(char *out, int x, int y)
{
    std::size_t length = format_coordinate(out, x);
    std::memcpy(out + length, "   ", 3);
    length += 3;
    length += format_coordinate(out + length, y);
    out[length++] = '\n';
    return length;
}

line_block_sink stream_sink(FILE *stream)
{
    return [stream](const char *bytes, std::size_t size) { std::fwrite(bytes, 1, size, stream); };
}

seedling_grid_formatter::seedling_grid_formatter(int last_y, std::size_t block_size)
    : last_y_(last_y), block_size_(std::max(block_size, longest_seedling_line)),
      row_suffix_(static_cast<std::size_t>(std::max(last_y, 0)) + 1)
{
    for (int y = 1; y <= last_y_; ++y) {
        field_text &suffix = row_suffix_[static_cast<std::size_t>(y)];
        std::memset(suffix.bytes, 0, sizeof suffix.bytes);
        suffix.length = format_coordinate(suffix.bytes, y);
        suffix.bytes[suffix.length++] = '\n';
    }
}

long long seedling_grid_formatter::format_columns(const unsigned char *const *grid, int first_x, int last_x,
                                                  const line_block_sink &sink) const
{
    std::vector<char> block(block_size_ + block_slack);
    char *const start = block.data();
    std::size_t used = 0;
    long long lines = 0;
    auto hand_on = [&] {
        if (used > 0)
            sink(start, used);
        used = 0;
    };

    for (int x = first_x; x <= last_x; ++x) {
        field_text prefix{};
        prefix.length = format_coordinate(prefix.bytes, x);
        std::memcpy(prefix.bytes + prefix.length, "   ", 3);
        prefix.length += 3;

        const unsigned char *column = grid[x];
        for (int y = next_occupied(column, 1, last_y_); y <= last_y_; y = next_occupied(column, y + 1, last_y_)) {
            char line[2 * sizeof prefix.bytes];
            const std::size_t length = assemble_line(line, prefix, row_suffix_[static_cast<std::size_t>(y)]);
            const int count = column[y];
            lines += count;
            // A cell's lines are identical: the whole line is moved c times.
            for (int i = 0; i < count; ++i) {
                if (used + length > block_size_)
                    hand_on();
                std::memcpy(start + used, line, block_slack);
                used += length;
            }
        }
    }
    hand_on();
    return lines;
}

seedling_line_writer::seedling_line_writer(FILE *stream, std::size_t block_size)
    : stream_(stream), block_(std::max(block_size, longest_seedling_line))
{
}

seedling_line_writer::~seedling_line_writer()
{
    flush();
}

void seedling_line_writer::add(int x, int y)
{
#ifdef SEEDBANK_REFERENCE_PATHS
    write_seedling(stream_, x, y);
#else
    if (used_ + longest_seedling_line > block_.size())
        flush();
    used_ += format_seedling_line(block_.data() + used_, x, y);
#endif
}

void seedling_line_writer::flush()
{
    if (used_ > 0)
        std::fwrite(block_.data(), 1, used_, stream_);
    used_ = 0;
}

}  // namespace seedbank
