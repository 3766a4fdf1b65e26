// One seedling per line, "%3d   %3d\n".
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "seedling_list.h"

using namespace seedbank;

namespace {

std::string line_of(int x, int y)
{
    char *text = nullptr;
    std::size_t size = 0;
    FILE *memory = open_memstream(&text, &size);
    write_seedling(memory, x, y);
    std::fclose(memory);
    std::string line(text, size);
    std::free(text);
    return line;
}

TEST(SeedlingList, LineFormat)
{
    struct {
        int x, y;
        const char *line;
    } cases[] = {
        {7, 42, "  7    42\n"},   {100, 100, "100   100\n"}, {4711, 12, "4711    12\n"},
        {5, 50, "  5    50\n"},   {4949, 4949, "4949   4949\n"}, {1, 4999, "  1   4999\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(line_of(c.x, c.y), c.line) << c.x << "," << c.y;
}

}  // namespace
