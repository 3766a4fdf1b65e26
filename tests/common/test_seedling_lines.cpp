// The hand-formatted seedling lines against the stream's own formatter: every
// coordinate value a list can hold in either field, random pairs over the
// whole int range, and whole grids in blocks of every awkward size.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "seedling_lines.h"
#include "seedling_list.h"

namespace {

using seedbank::format_seedling_line;
using seedbank::longest_seedling_line;
using seedbank::write_seedling;

std::string printed_line(int x, int y)
{
    char text[64];
    const int length = std::snprintf(text, sizeof text, "%3d   %3d\n", x, y);
    return std::string(text, static_cast<std::size_t>(length));
}

std::string formatted_line(int x, int y)
{
    char text[longest_seedling_line];
    return std::string(text, format_seedling_line(text, x, y));
}

// Captures what a FILE-based writer writes.
class memory_stream {
public:
    memory_stream() : stream_(open_memstream(&text_, &size_)) {}
    ~memory_stream()
    {
        if (stream_ != nullptr)
            std::fclose(stream_);
        std::free(text_);
    }
    memory_stream(const memory_stream &) = delete;
    memory_stream &operator=(const memory_stream &) = delete;

    FILE *stream() { return stream_; }
    std::string contents()
    {
        std::fflush(stream_);
        return std::string(text_, size_);
    }

private:
    char *text_ = nullptr;
    std::size_t size_ = 0;
    FILE *stream_;
};

// The values where the number of digits or the padding changes, and the
// ends of the int range.
std::vector<int> boundary_values()
{
    std::vector<int> values = {INT_MIN, INT_MIN + 1, INT_MAX, INT_MAX - 1, 0};
    for (long long power = 1; power <= 1000000000LL; power *= 10)
        for (long long v : {power - 1, power, power + 1})
            if (v <= INT_MAX) {
                values.push_back(static_cast<int>(v));
                values.push_back(static_cast<int>(-v));
            }
    return values;
}

// Every value from -16384 to 16384 (all a seed map can number, and their
// negatives) in the x field, then in the y field, the other field fixed at
// a value of each width.
TEST(SeedlingLines, EveryCoordinateInEitherField)
{
    std::vector<int> values;
    for (int v = -16384; v <= 16384; ++v)
        values.push_back(v);
    for (int v : boundary_values())
        values.push_back(v);
    for (int other : {1, 42, 100, 4999, -7, INT_MIN})
        for (int v : values) {
            ASSERT_EQ(formatted_line(v, other), printed_line(v, other)) << "x = " << v;
            ASSERT_EQ(formatted_line(other, v), printed_line(other, v)) << "y = " << v;
        }
}

// Every pair of the coordinates winter and generate write most, both fields
// from 0 to 1099.
TEST(SeedlingLines, EveryPairUpToFourDigits)
{
    for (int x = 0; x < 1100; ++x)
        for (int y = 0; y < 1100; ++y)
            ASSERT_EQ(formatted_line(x, y), printed_line(x, y)) << x << "," << y;
}

TEST(SeedlingLines, RandomPairsOverTheWholeIntRange)
{
    std::mt19937 draw(20261211);
    std::uniform_int_distribution<int> any(INT_MIN, INT_MAX);
    for (int i = 0; i < 1000000; ++i) {
        const int x = any(draw), y = any(draw);
        ASSERT_EQ(formatted_line(x, y), printed_line(x, y)) << x << "," << y;
    }
}

TEST(SeedlingLines, LongestLineFitsItsBound)
{
    EXPECT_EQ(formatted_line(INT_MIN, INT_MIN).size(), longest_seedling_line);
}

// A grid indexed [x][y], both from 1, owned by the test.
struct test_grid {
    int last_x, last_y;
    std::vector<std::vector<unsigned char>> columns;
    std::vector<const unsigned char *> rows_of;

    test_grid(int width, int height)
        : last_x(width), last_y(height),
          columns(static_cast<std::size_t>(width) + 1, std::vector<unsigned char>(static_cast<std::size_t>(height) + 1)),
          rows_of(static_cast<std::size_t>(width) + 1)
    {
        for (std::size_t x = 0; x < columns.size(); ++x)
            rows_of[x] = columns[x].data();
    }
    unsigned char &at(int x, int y) { return columns[static_cast<std::size_t>(x)][static_cast<std::size_t>(y)]; }
};

// The reference: one printed line per seedling, x outer, y inner.
std::string printed_grid(test_grid &grid, int first_x, int last_x)
{
    memory_stream memory;
    for (int x = first_x; x <= last_x; ++x)
        for (int y = 1; y <= grid.last_y; ++y)
            for (int i = 0; i < grid.at(x, y); ++i)
                write_seedling(memory.stream(), x, y);
    return memory.contents();
}

struct grid_case {
    const char *name;
    int width, height;
    double occupied;  // fraction of cells holding seedlings
    int low, high;    // their counts
    std::size_t block_size;
};

class SeedlingGridLines : public testing::TestWithParam<grid_case> {
protected:
    test_grid make_grid()
    {
        const grid_case &c = GetParam();
        test_grid grid(c.width, c.height);
        std::mt19937 draw(static_cast<unsigned>(c.width * 7919 + c.height));
        std::uniform_real_distribution<double> chance(0.0, 1.0);
        std::uniform_int_distribution<int> count(c.low, c.high);
        for (int x = 1; x <= c.width; ++x)
            for (int y = 1; y <= c.height; ++y)
                if (chance(draw) < c.occupied)
                    grid.at(x, y) = static_cast<unsigned char>(count(draw));
        return grid;
    }
};

// The blocks, joined, are the printed list; each ends with a whole line and
// stays within the block size.
TEST_P(SeedlingGridLines, BlocksJoinToThePrintedList)
{
    const grid_case &c = GetParam();
    test_grid grid = make_grid();
    const seedbank::seedling_grid_formatter formatter(grid.last_y, c.block_size);
    std::string joined;
    const std::size_t limit = std::max(c.block_size, longest_seedling_line);
    const long long lines = formatter.format_columns(grid.rows_of.data(), 1, grid.last_x,
                                                     [&](const char *bytes, std::size_t size) {
                                                         ASSERT_GT(size, 0u);
                                                         ASSERT_LE(size, limit);
                                                         ASSERT_EQ(bytes[size - 1], '\n');
                                                         joined.append(bytes, size);
                                                     });
    const std::string printed = printed_grid(grid, 1, grid.last_x);
    EXPECT_EQ(joined, printed);
    long long printed_lines = 0;
    for (char ch : printed)
        printed_lines += ch == '\n';
    EXPECT_EQ(lines, printed_lines);
}

// Column ranges formatted one after another give the list of the whole.
TEST_P(SeedlingGridLines, ColumnRangesJoinToTheWhole)
{
    const grid_case &c = GetParam();
    test_grid grid = make_grid();
    const seedbank::seedling_grid_formatter formatter(grid.last_y, c.block_size);
    std::string joined;
    auto append = [&](const char *bytes, std::size_t size) { joined.append(bytes, size); };
    for (int first = 1; first <= grid.last_x; first += 3)
        formatter.format_columns(grid.rows_of.data(), first, std::min(first + 2, grid.last_x), append);
    EXPECT_EQ(joined, printed_grid(grid, 1, grid.last_x));
}

INSTANTIATE_TEST_SUITE_P(
    Grids, SeedlingGridLines,
    testing::Values(grid_case{"empty", 40, 40, 0.0, 0, 0, 4096},
                    grid_case{"full_of_255_in_one_line_blocks", 9, 9, 1.0, 255, 255, 1},
                    grid_case{"every_count_small_blocks", 60, 61, 0.7, 0, 255, 27},
                    grid_case{"sparse_wide_rows", 30, 1200, 0.01, 1, 5, 100},
                    grid_case{"dense_low_counts", 120, 130, 1.0, 1, 19, 4096},
                    grid_case{"single_row", 300, 1, 0.5, 1, 3, 64},
                    grid_case{"rows_around_eight", 50, 9, 0.2, 1, 2, 333},
                    grid_case{"four_digit_rows_default_block", 3, 5000, 0.3, 1, 4, seedbank::seedling_block_size}),
    [](const testing::TestParamInfo<grid_case> &instance) { return std::string(instance.param.name); });

// generate's writer, line by line in the caller's order, in blocks small
// enough to be written many times.
TEST(SeedlingLineWriter, WritesThePrintedLinesInOrder)
{
    std::mt19937 draw(4242);
    std::uniform_int_distribution<int> coordinate(-20, 12000);
    memory_stream printed, blocked;
    {
        seedbank::seedling_line_writer writer(blocked.stream(), 50);
        for (int i = 0; i < 20000; ++i) {
            const int x = coordinate(draw), y = coordinate(draw);
            write_seedling(printed.stream(), x, y);
            writer.add(x, y);
        }
    }
    EXPECT_EQ(blocked.contents(), printed.contents());
}

TEST(SeedlingLineWriter, NoLinesWriteNothing)
{
    memory_stream blocked;
    {
        seedbank::seedling_line_writer writer(blocked.stream());
        writer.flush();
    }
    EXPECT_EQ(blocked.contents(), "");
}

}  // namespace
