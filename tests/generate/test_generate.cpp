// The random starting population: counts, banner, coordinates and the fixed
// stream of a known clock reading; refusals and write failures.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <ostream>
#include <unistd.h>

#include <gtest/gtest.h>

#include "program_run.h"
#include "random.h"
#include "seedling_generator.h"

using namespace seedbank;
using namespace seedbank::generate;

namespace {

struct density_case {
    const char *argument;
    const char *banner_density;
    std::size_t lines;
};

void PrintTo(const density_case &c, std::ostream *out)
{
    *out << "density " << c.argument;
}

class GenerateDensity : public ::testing::TestWithParam<density_case> {};

TEST_P(GenerateDensity, WritesFloorPlusOneSeedlingsInRange)
{
    const density_case &c = GetParam();
    scratch_directory dir;
    program_result run = run_program(GENERATE_EXE, {c.argument}, dir.path());
    std::string file = std::string("den_") + c.argument + ".dat";
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, std::string("Density is: ") + c.banner_density + "\nDatafile is: " + file + "\n");
    EXPECT_EQ(run.err, "");
    ASSERT_TRUE(file_exists(dir / file));
    std::vector<std::string> lines = lines_of(read_file(dir / file));
    EXPECT_EQ(lines.size(), c.lines);
    for (const std::string &line : lines) {
        int x = 0, y = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%d %d", &x, &y), 2) << line;
        EXPECT_GE(x, 50);
        EXPECT_LE(x, 4949);
        EXPECT_GE(y, 50);
        EXPECT_LE(y, 4949);
        char expected[32];
        std::snprintf(expected, sizeof expected, "%3d   %3d", x, y);
        EXPECT_EQ(line, expected);
    }
    EXPECT_EQ(snapshot(dir.path()).size(), 1u) << "only the list is written";
}

INSTANTIATE_TEST_SUITE_P(Densities, GenerateDensity,
                         ::testing::Values(density_case{"100", "100.000000", 101},
                                           density_case{"2.5", "2.500000", 3}, density_case{"0", "0.000000", 1},
                                           density_case{"-1", "-1.000000", 0}, density_case{"nan", "nan", 0},
                                           density_case{"0x10", "16.000000", 17},
                                           density_case{" 2", "2.000000", 3},
                                           density_case{"0.1", "0.100000", 1},
                                           // longer than any fixed name buffer would take
                                           density_case{"3.0000000000000000000000000000000000000000", "3.000000", 4}));

TEST(GenerateCount, ComparesTheBoundExactly)
{
    struct {
        float density;
        long long count;
    } cases[] = {
        {0.0f, 1},
        {0.999f, 1},
        {2.5f, 3},
        {-0.5f, 0},
        {-1.0f, 0},
        {std::numeric_limits<float>::quiet_NaN(), 0},
        {16777216.0f, 16777217},        // 2^24: an int compared as float would stop at 2^24
        {16777218.0f, 16777219},        // 2^24 + 2: float comparison stops one early
        {2147483520.0f, 2147483521LL},  // largest float below 2^31 - 1
    };
    for (const auto &c : cases)
        EXPECT_EQ(seedling_count(c.density), c.count) << c.density;
}

// A fixed clock gives a fixed stream: the first four seedlings of clock
// 1000000000, drawn x before y.
TEST(GenerateStream, KnownClockGivesKnownSeedlings)
{
    scratch_directory dir;
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    restart_random_module();
    testing::internal::CaptureStdout();
    generate_seedlings("3", 1000000000);
    std::string out = testing::internal::GetCapturedStdout();
    std::filesystem::current_path(previous);
    EXPECT_EQ(out, "Density is: 3.000000\nDatafile is: den_3.dat\n");
    EXPECT_EQ(read_file(dir / "den_3.dat"), "428   4711\n4660   3850\n1692   2228\n2922   1816\n");
}

TEST(GenerateStream, SameSecondSameFile)
{
    scratch_directory first, second;
    program_result a = run_program(GENERATE_EXE, {"50"}, first.path());
    program_result b = run_program(GENERATE_EXE, {"50"}, second.path());
    ASSERT_EQ(a.exit_status, 0);
    ASSERT_EQ(b.exit_status, 0);
    // The two runs may straddle a second; then they must differ.
    std::string list_a = read_file(first / "den_50.dat"), list_b = read_file(second / "den_50.dat");
    if (list_a != list_b) {
        program_result c = run_program(GENERATE_EXE, {"50"}, first.path());
        ASSERT_EQ(c.exit_status, 0);
        EXPECT_EQ(read_file(first / "den_50.dat"), list_b);
    }
}

struct refusal_case {
    std::vector<std::string> arguments;
    const char *stderr_start;
};

void PrintTo(const refusal_case &c, std::ostream *out)
{
    *out << "arguments";
    for (const std::string &argument : c.arguments)
        *out << " " << argument;
}

class GenerateRefusal : public ::testing::TestWithParam<refusal_case> {};

// Densities an int counter never passes would write forever: refused before
// any file is made, like a missing argument.
TEST_P(GenerateRefusal, EndsWithStatusOneAndWritesNothing)
{
    scratch_directory dir;
    program_result run = run_program(GENERATE_EXE, GetParam().arguments, dir.path());
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(GetParam().stderr_start, 0), 0u) << run.err;
    EXPECT_TRUE(snapshot(dir.path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, GenerateRefusal,
    ::testing::Values(refusal_case{{}, "usage: generate density\n"},
                      refusal_case{{"2147483647"}, "generate: density 2147483647 is too large"},
                      refusal_case{{"2147483600"}, "generate: density 2147483600 is too large"},
                      refusal_case{{"1e10"}, "generate: density 1e10 is too large"},
                      refusal_case{{"inf"}, "generate: density inf is too large"},
                      // not a number as a whole word: refused, nothing written
                      refusal_case{{"abc"}, "generate: density abc is not a number\n"},
                      refusal_case{{""}, "generate: density  is not a number\n"},
                      refusal_case{{"5x"}, "generate: density 5x is not a number\n"},
                      refusal_case{{"2 "}, "generate: density 2  is not a number\n"},
                      refusal_case{{"--", "--help"}, "generate: density --help is not a number\n"}));

TEST(GenerateOutput, FullDiskIsAFailure)
{
    scratch_directory dir;
    std::filesystem::create_symlink("/dev/full", dir / "den_5.dat");
    auto before = snapshot(dir.path());
    program_result run = run_program(GENERATE_EXE, {"5"}, dir.path());
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.err.find("den_5.dat"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(dir.path()), before);
}

TEST(GenerateOutput, DirectoryInTheWayIsReportedAsDesigned)
{
    scratch_directory dir;
    std::filesystem::create_directory(dir / "den_5.dat");
    auto before = snapshot(dir.path());
    program_result run = run_program(GENERATE_EXE, {"5"}, dir.path());
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "Can't open output file den_5.dat\n");
    EXPECT_EQ(snapshot(dir.path()), before);
}

TEST(GenerateOutput, FileSizeLimitLeavesTheOldListAlone)
{
    scratch_directory dir;
    write_file(dir / "den_1000.dat", "old list\n");
    auto before = snapshot(dir.path());
    program_result run = run_program(GENERATE_EXE, {"1000"}, dir.path(), {.file_size_limit = 1000});
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.err.find("den_1000.dat"), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(dir.path()), before) << "old list kept, no temporary file left";
}

}  // namespace
