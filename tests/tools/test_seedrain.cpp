// The built seedrain program: the map it writes is the module's rain, the
// same command line writes the same bytes, and bad options, lists and
// outputs are refused without leaving anything behind.
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fixture_maps.h"
#include "program_run.h"
#include "random.h"
#include "seed_rain.h"

using namespace seedbank;
using namespace seedbank::tools;

namespace {

const std::string small_list = "  7     9\n100   100\n2500   2500\n2500   2500\n4990   4990\n";

TEST(Seedrain, WritesTheRainOfItsListAsASeedMap)
{
    scratch_directory dir;
    write_file(dir / "list.dat", small_list);
    const program_result run = run_program(
        SEEDRAIN_EXE,
        {"--establish", "0.8", "--fecundity=40", "--kernel", "exponential", "--scale", "6", "--seed", "99",
         "list.dat", "fresh.png"},
        dir.path());
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.err, "");

    std::vector<unsigned char> cells(5000u * 5000u, 0);
    std::vector<unsigned char *> rows;
    for (std::size_t y = 0; y < 5000; ++y)
        rows.push_back(cells.data() + y * 5000);
    restart_random_module();
    std::string reason;
    const auto tally = rain_seeds(dir / "list.dat", {0.8, 40.0, dispersal_kernel::exponential, 6.0, 99},
                                  rows.data(), reason);
    ASSERT_TRUE(tally) << reason;
    EXPECT_EQ(run.out, "Seedlings read: 5\nPlants established: " + std::to_string(tally->plants) +
                           "\nSeeds set: " + std::to_string(tally->seeds_set) +
                           "\nSeeds lost off the field: " + std::to_string(tally->seeds_off_field) +
                           "\nSeeds in the map: " + std::to_string(tally->seeds_kept) +
                           " (0 more were dropped at 255 per cell)\n");

    const decoded_image map = decode_png_file(dir / "fresh.png");
    ASSERT_FALSE(map.true_colour);
    ASSERT_EQ(map.width, 5000);
    ASSERT_EQ(map.height, 5000);
    ASSERT_EQ(map.red.size(), 256u);
    EXPECT_TRUE(map.index == cells) << "the map is not the rain drawn in-process";
    EXPECT_GT(tally->seeds_kept, 0);
}

TEST(Seedrain, TheSameCommandLineWritesTheSameBytesAndAnotherSeedOthers)
{
    scratch_directory dir;
    write_file(dir / "list.dat", small_list);
    const std::vector<std::string> options = {"--fecundity", "30", "--kernel", "gaussian", "--scale", "4"};
    auto run_with_seed = [&](const std::string &seed, const std::string &out) {
        std::vector<std::string> arguments = options;
        arguments.insert(arguments.end(), {"--seed", seed, "list.dat", out});
        const program_result run = run_program(SEEDRAIN_EXE, arguments, dir.path());
        EXPECT_EQ(run.exit_status, 0) << run.err;
        return read_file(dir / out);
    };
    const std::string first = run_with_seed("5", "a.png");
    EXPECT_EQ(run_with_seed("5", "b.png"), first);
    EXPECT_NE(run_with_seed("6", "c.png"), first);
}

TEST(Seedrain, AnEmptyListWritesAnEmptyMap)
{
    scratch_directory dir;
    write_file(dir / "list.dat", "");
    const program_result run = run_program(SEEDRAIN_EXE, {"list.dat", "fresh.png"}, dir.path());
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const decoded_image map = decode_png_file(dir / "fresh.png");
    EXPECT_EQ(map.index, std::vector<unsigned char>(5000u * 5000u, 0));
}

TEST(Seedrain, HelpGoesToStandardOutputAndSaysWhatItIs)
{
    scratch_directory dir;
    const program_result run = run_program(SEEDRAIN_EXE, {"--help"}, dir.path());
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_NE(run.out.find("not part of the seed-bank model"), std::string::npos);
    EXPECT_TRUE(snapshot(dir.path()).empty());
}

struct refusal_case {
    const char *name;
    std::vector<std::string> arguments;
    std::string message;  // standard error's first line
};

void PrintTo(const refusal_case &c, std::ostream *out)
{
    *out << c.name;
}

class SeedrainRefuses : public testing::TestWithParam<refusal_case> {};

TEST_P(SeedrainRefuses, LeavingNothingBehind)
{
    scratch_directory dir;
    write_file(dir / "list.dat", small_list);
    write_file(dir / "bad.dat", "  7     9\n100   100\n100   abc\n");
    const auto before = snapshot(dir.path());
    const program_result run = run_program(SEEDRAIN_EXE, GetParam().arguments, dir.path());
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(lines_of(run.err).at(0), GetParam().message);
    EXPECT_TRUE(snapshot(dir.path()) == before) << "the run created or changed a file";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SeedrainRefuses,
    testing::Values(
        refusal_case{"no_operands", {}, "usage: seedrain [options] SEEDLING-LIST SEED-MAP"},
        refusal_case{"three_operands", {"list.dat", "a.png", "b.png"},
                     "seedrain: needs a seedling list and a seed-map name, 3 given"},
        refusal_case{"establish_above_one", {"--establish", "1.5", "list.dat", "m.png"},
                     "seedrain: --establish needs a number from 0 to 1, not '1.5'"},
        refusal_case{"fecundity_nan", {"--fecundity=nan", "list.dat", "m.png"},
                     "seedrain: --fecundity needs a number from 0 to 1000, not 'nan'"},
        refusal_case{"negative_scale", {"--scale", "-1", "list.dat", "m.png"},
                     "seedrain: --scale needs a number from 0 to 5000, not '-1'"},
        refusal_case{"unknown_kernel", {"--kernel", "cauchy", "list.dat", "m.png"},
                     "seedrain: --kernel is none, gaussian or exponential, not 'cauchy'"},
        refusal_case{"seed_zero", {"--seed", "0", "list.dat", "m.png"},
                     "seedrain: --seed needs a whole number from 1 to 2147483646, not '0'"},
        refusal_case{"seed_fraction", {"--seed", "2.5", "list.dat", "m.png"},
                     "seedrain: --seed needs a whole number from 1 to 2147483646, not '2.5'"},
        refusal_case{"option_without_value", {"list.dat", "m.png", "--seed"},
                     "seedrain: option '--seed' needs a value"},
        refusal_case{"unknown_option", {"--density", "3", "list.dat", "m.png"},
                     "seedrain: unknown option '--density'"},
        refusal_case{"malformed_line", {"bad.dat", "m.png"},
                     "seedrain: bad.dat:3: not a seedling line of two whole numbers, x and y: '100   abc'"},
        refusal_case{"missing_list", {"none.dat", "m.png"}, "seedrain: none.dat: No such file or directory"},
        refusal_case{"list_is_a_directory", {".", "m.png"}, "seedrain: .: Is a directory"},
        refusal_case{"map_in_a_missing_directory", {"list.dat", "no/dir/m.png"},
                     "seedrain: no/dir/m.png: No such file or directory"}),
    [](const testing::TestParamInfo<refusal_case> &instance) { return std::string(instance.param.name); });

}  // namespace
