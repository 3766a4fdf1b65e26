// The seed-map maker: the patterns it draws, its determinism, its refusals.
#include <algorithm>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fixture_maps.h"
#include "program_run.h"


namespace {

decoded_image make(const scratch_directory &dir, const std::vector<std::string> &arguments)
{
    program_result run = run_program(MKMAP_EXE, arguments, dir.path());
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    return decode_png_file(dir / arguments[0]);
}

struct pattern_case {
    const char *what;
    std::vector<std::string> arguments;
    std::function<int(int, int)> count;
};

void PrintTo(const pattern_case &c, std::ostream *out)
{
    *out << c.what;
}

class MkmapPattern : public ::testing::TestWithParam<pattern_case> {};

TEST_P(MkmapPattern, WritesThePixelsAsCountsOnAFullGreyPalette)
{
    const pattern_case &c = GetParam();
    scratch_directory dir;
    decoded_image map = make(dir, c.arguments);
    ASSERT_FALSE(map.true_colour);
    ASSERT_EQ(map.width, std::stoi(c.arguments[1]));
    ASSERT_EQ(map.height, std::stoi(c.arguments[2]));
    // All 256 entries, so that no count is renumbered on writing.
    ASSERT_EQ(map.red.size(), 256u);
    for (int i = 0; i < 256; ++i)
        ASSERT_TRUE(map.red[i] == i && map.green[i] == i && map.blue[i] == i) << "palette entry " << i;
    for (int y = 0; y < map.height; ++y)
        for (int x = 0; x < map.width; ++x)
            ASSERT_EQ(map.at(x, y), c.count(x, y)) << "pixel (" << x << ", " << y << ")";
    EXPECT_EQ(snapshot(dir.path()).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, MkmapPattern,
    ::testing::Values(
        pattern_case{"empty", {"e.png", "7", "5", "empty"}, [](int, int) { return 0; }},
        pattern_case{"one cell", {"c.png", "7", "5", "cell", "6", "4", "200"},
                     [](int x, int y) { return x == 6 && y == 4 ? 200 : 0; }},
        pattern_case{"several cells, the last word for a pixel wins",
                     {"c.png", "7", "5", "cell", "0", "0", "9", "3", "1", "255", "0", "0", "17"},
                     [](int x, int y) { return x == 0 && y == 0 ? 17 : x == 3 && y == 1 ? 255 : 0; }},
        pattern_case{"constant 200", {"k.png", "3", "9", "constant", "200"}, [](int, int) { return 200; }},
        pattern_case{"constant 255", {"k.png", "9", "3", "constant", "255"}, [](int, int) { return 255; }},
        pattern_case{"random, every pixel occupied", {"r.png", "6", "6", "random", "1", "3", "3", "5"},
                     [](int, int) { return 3; }},
        pattern_case{"random, none occupied", {"r.png", "6", "6", "random", "0", "1", "255", "5"},
                     [](int, int) { return 0; }},
        pattern_case{"checker, every other pixel", {"h.png", "7", "6", "checker", "2", "2", "5"},
                     [](int x, int y) { return (x + y) % 2 == 0 ? 2 : 0; }}));

TEST(MkmapChecker, DrawsEveryCountOfItsRangeOnEveryOtherPixelFromItsSeedAlone)
{
    scratch_directory dir;
    decoded_image map = make(dir, {"a.png", "60", "50", "checker", "1", "3", "9"});
    make(dir, {"b.png", "60", "50", "checker", "1", "3", "9"});
    EXPECT_EQ(read_file(dir / "a.png"), read_file(dir / "b.png"));
    int seen[4] = {};
    for (int y = 0; y < map.height; ++y)
        for (int x = 0; x < map.width; ++x) {
            const int count = map.at(x, y);
            ASSERT_EQ(count == 0, (x + y) % 2 != 0) << "pixel (" << x << ", " << y << ")";
            ASSERT_LE(count, 3);
            ++seen[count];
        }
    for (int count = 1; count <= 3; ++count)
        EXPECT_GT(seen[count], 1500 / 4) << count;
}

TEST(MkmapRandom, DrawsOccupancyAndCountsFromItsSeedAlone)
{
    scratch_directory dir;
    const std::vector<std::string> common = {"100", "80", "random", "0.25", "1", "3"};
    auto arguments = [&](const std::string &file, const std::string &seed) {
        std::vector<std::string> words = {file};
        words.insert(words.end(), common.begin(), common.end());
        words.push_back(seed);
        return words;
    };
    decoded_image map = make(dir, arguments("a.png", "42"));
    make(dir, arguments("b.png", "42"));
    make(dir, arguments("c.png", "43"));
    EXPECT_EQ(read_file(dir / "a.png"), read_file(dir / "b.png"));
    EXPECT_NE(read_file(dir / "a.png"), read_file(dir / "c.png"));

    long occupied = 0;
    int seen[4] = {};
    for (unsigned char count : map.index) {
        ASSERT_LE(count, 3);
        ++seen[count];
        occupied += count != 0;
    }
    // A quarter of 8000 pixels, each of the counts 1, 2 and 3 about a third.
    EXPECT_GT(occupied, 1800);
    EXPECT_LT(occupied, 2200);
    for (int count = 1; count <= 3; ++count) {
        EXPECT_GT(seen[count], occupied / 4) << count;
        EXPECT_LT(seen[count], occupied / 2) << count;
    }
}

struct refusal_case {
    const char *what;
    std::vector<std::string> arguments;
    const char *message;  // part of standard error
};

void PrintTo(const refusal_case &c, std::ostream *out)
{
    *out << c.what;
}

class MkmapRefusal : public ::testing::TestWithParam<refusal_case> {};

TEST_P(MkmapRefusal, WritesNothing)
{
    const refusal_case &c = GetParam();
    scratch_directory dir;
    program_result run = run_program(MKMAP_EXE, c.arguments, dir.path());
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_TRUE(snapshot(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, MkmapRefusal,
    ::testing::Values(
        refusal_case{"no arguments", {}, "usage: mkmap"},
        refusal_case{"unknown pattern", {"m.png", "5", "5", "full"}, "usage: mkmap"},
        refusal_case{"empty with a value", {"m.png", "5", "5", "empty", "3"}, "usage: mkmap"},
        refusal_case{"cell without its count", {"m.png", "5", "5", "cell", "1", "1"}, "usage: mkmap"},
        refusal_case{"random without a seed", {"m.png", "5", "5", "random", "0.5", "1", "3"}, "usage: mkmap"},
        refusal_case{"checker without a seed", {"m.png", "5", "5", "checker", "1", "3"}, "usage: mkmap"},
        refusal_case{"checker with MAX below MIN", {"m.png", "5", "5", "checker", "3", "1", "7"}, "MAX"},
        refusal_case{"width 0", {"m.png", "0", "5", "empty"}, "WIDTH"},
        refusal_case{"height beyond the largest map", {"m.png", "5", "16385", "empty"}, "HEIGHT"},
        refusal_case{"width not a number", {"m.png", "5x", "5", "empty"}, "WIDTH"},
        refusal_case{"cell outside the image", {"m.png", "5", "5", "cell", "5", "0", "1"}, "X"},
        refusal_case{"count above 255", {"m.png", "5", "5", "cell", "1", "1", "256"}, "COUNT"},
        refusal_case{"negative constant", {"m.png", "5", "5", "constant", "-1"}, "VALUE"},
        refusal_case{"fraction above 1", {"m.png", "5", "5", "random", "1.5", "1", "3", "7"}, "FRACTION"},
        refusal_case{"fraction not a number", {"m.png", "5", "5", "random", "nan", "1", "3", "7"}, "FRACTION"},
        refusal_case{"MIN above MAX", {"m.png", "5", "5", "random", "0.5", "4", "3", "7"}, "MAX"},
        refusal_case{"seed 0", {"m.png", "5", "5", "random", "0.5", "1", "3", "0"}, "SEED"},
        refusal_case{"missing directory", {"nodir/m.png", "5", "5", "empty"}, "nodir/m.png"}));

}  // namespace
