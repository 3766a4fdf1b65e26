// The built winter program, run in a scratch directory: standard output byte
// for byte, exit status, and every file written or left untouched.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gd.h>
#include <gtest/gtest.h>

#include "beta.h"
#include "expected_schedule.h"
#include "fixture_maps.h"
#include "program_run.h"
#include "random.h"

using namespace seedbank;

namespace {

constexpr int side = 5000;

const cohort_row (&cohorts)[6] = expected_cohorts;
const char *const output_prefixes[5] = {"Dorm1_Yr", "Dorm2_Yr", "Dorm3_Yr", "Dorm4_Yr", "Dorm5_Yr"};

std::string input_map(int cohort, const std::string &label)
{
    return cohorts[cohort].input_prefix + label + ".png";
}

std::string full_output(const std::string &input_label, const std::vector<long long> &recruits, long long total)
{
    std::string text = "\nClearing out Matrix ....\nDone.\n\nDistributing:\n";
    for (int k = 0; k < 6; ++k)
        text += std::string(cohorts[k].header) + "\t\t" + std::to_string(recruits[k]) + " Seeds recruited from " +
                input_map(k, input_label) + ".\n\n";
    return text + "Done.\n\nWriting Data File\nDone.\n\n\nThe total number of new seeds: " +
           std::to_string(total) + "\n";
}

// --- The year computed the plain way: every cell of the field visited,
// x outer and y inner, each cell read like a pixel (0 outside the image). ---

struct year_outcome {
    std::vector<unsigned char> grid;              // cell (x, y) at (x - 1) * side + (y - 1)
    std::vector<long long> recruits;              // per cohort
    std::vector<std::vector<unsigned char>> maps; // per cohort, pixel (x, y) at y * side + x
};

year_outcome plain_year(const std::vector<decoded_image> &inputs)
{
    restart_random_module();
    restart_beta_stream();
    year_outcome year;
    year.grid.assign(static_cast<std::size_t>(side) * side, 0);
    year.recruits.assign(6, 0);
    year.maps.resize(6);
    for (int k = 0; k < 6; ++k) {
        const decoded_image &in = inputs[k];
        const double survival = 1.0 - static_cast<double>(std::bit_cast<float>(cohorts[k].pred));
        const float d_prob = std::bit_cast<float>(cohorts[k].d_prob);
        if (cohorts[k].output_prefix != nullptr)
            year.maps[k].assign(static_cast<std::size_t>(side) * side, 0);
        for (int x = 1; x <= side; ++x)
            for (int y = 1; y <= side; ++y) {
                const int count = x < in.width && y < in.height ? in.at(x, y) : 0;
                int total = 0, dormants = 0, germ = 0;
                for (int seed = 0; seed < count; ++seed)
                    if (ibeta(1, 1) <= survival)
                        ++total;
                for (int seed = 0; seed < total; ++seed) {
                    if (ibeta(1, 1) <= d_prob)
                        ++dormants;
                    else
                        ++germ;
                }
                year.recruits[k] += germ;
                unsigned char &cell = year.grid[static_cast<std::size_t>(x - 1) * side + (y - 1)];
                cell = static_cast<unsigned char>(std::min(cell + germ, 255));
                if (!year.maps[k].empty() && x < side && y < side)
                    year.maps[k][static_cast<std::size_t>(y) * side + x] =
                        static_cast<unsigned char>(std::min(dormants, 255));
            }
    }
    return year;
}

std::string list_of(const std::vector<unsigned char> &grid, long long &total)
{
    std::string list;
    total = 0;
    char line[32];
    for (int x = 1; x <= side; ++x)
        for (int y = 1; y <= side; ++y)
            for (int c = 0; c < grid[static_cast<std::size_t>(x - 1) * side + (y - 1)]; ++c) {
                std::snprintf(line, sizeof line, "%3d   %3d\n", x, y);
                list += line;
                ++total;
            }
    if (total == 0) {
        list = "100   100\n";
        total = 1;
    }
    return list;
}

// A written map: 5000 x 5000, the 256 greys in index order, its indexes as
// given (pixel (x, y) at y * side + x).
void expect_written_map(const std::string &path, const std::vector<unsigned char> &expected)
{
    SCOPED_TRACE(path);
    ASSERT_TRUE(file_exists(path));
    decoded_image map = decode_png_file(path);
    ASSERT_FALSE(map.true_colour);
    ASSERT_EQ(map.width, side);
    ASSERT_EQ(map.height, side);
    ASSERT_EQ(map.red.size(), 256u);
    for (int i = 0; i < 256; ++i)
        ASSERT_TRUE(map.red[i] == i && map.green[i] == i && map.blue[i] == i) << "palette entry " << i;
    if (expected.empty()) {
        EXPECT_EQ(std::count(map.index.begin(), map.index.end(), 0), static_cast<long>(map.index.size()))
            << "an empty map";
        return;
    }
    std::size_t mismatches = 0, first = 0;
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (map.index[i] != expected[i] && mismatches++ == 0)
            first = i;
    EXPECT_EQ(mismatches, 0u) << "first at pixel (" << first % side << ", " << first / side
                              << "): " << static_cast<int>(map.index[first]) << " instead of "
                              << static_cast<int>(expected[first]);
}

// Runs winter on the six maps of `input_label` in `dir` and checks every
// output against the plain year.  Returns the plain year's outcome.
year_outcome expect_year_as_computed(const std::string &dir, const std::string &input_label,
                                     const std::string &output_label)
{
    std::vector<decoded_image> inputs;
    for (int k = 0; k < 6; ++k)
        inputs.push_back(decode_png_file(dir + "/" + input_map(k, input_label)));
    year_outcome year = plain_year(inputs);
    long long total = 0;
    const std::string list = list_of(year.grid, total);

    program_result run = run_program(WINTER_EXE, {input_label, output_label}, dir);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, full_output(input_label, year.recruits, total));
    EXPECT_EQ(read_file(dir + "/Seeds_Yr" + output_label + ".dat"), list);
    for (int k = 1; k < 6; ++k)
        expect_written_map(dir + "/" + cohorts[k].output_prefix + output_label + ".png", year.maps[k]);
    return year;
}

void write_empty_inputs(const scratch_directory &dir, const std::string &label)
{
    for (int k = 0; k < 6; ++k)
        write_seed_map_file(dir / input_map(k, label), 1, 1, [](int, int) { return 0; });
}

void make_map(const scratch_directory &dir, const std::vector<std::string> &arguments)
{
    program_result made = run_program(MKMAP_EXE, arguments, dir.path());
    ASSERT_EQ(made.exit_status, 0) << made.err;
}

// Six small maps with varied occupancy, counts up to 255 and seeds in pixel
// row 0 and column 0.
void write_varied_inputs(const scratch_directory &dir, const std::string &label)
{
    const char *patterns[6][4] = {
        {"0.3", "1", "255", "11"}, {"0.5", "1", "9", "12"},   {"0.2", "200", "255", "13"},
        {"0.6", "1", "3", "14"},   {"0.1", "250", "255", "15"}, {"0.9", "1", "40", "16"},
    };
    for (int k = 0; k < 6; ++k)
        make_map(dir, {input_map(k, label), "37", "29", "random", patterns[k][0], patterns[k][1], patterns[k][2],
                       patterns[k][3]});
}

// --- Years that complete ---

TEST(WinterYear, WithoutGerminationPlantsOneSeedlingInCell100_100)
{
    scratch_directory dir;
    write_empty_inputs(dir, "3");
    program_result run = run_program(WINTER_EXE, {"3", "4"}, dir.path());
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "\nClearing out Matrix ....\nDone.\n\nDistributing:\n"
              "\t5 Year Dormant Seeds\n\t\t0 Seeds recruited from Dorm5_Yr3.png.\n\n"
              "\t4 Year Dormant Seeds\n\t\t0 Seeds recruited from Dorm4_Yr3.png.\n\n"
              "\t3 Year Dormant Seeds\n\t\t0 Seeds recruited from Dorm3_Yr3.png.\n\n"
              "\t2 Year Dormant Seeds\n\t\t0 Seeds recruited from Dorm2_Yr3.png.\n\n"
              "\t1 Year Dormant Seeds\n\t\t0 Seeds recruited from Dorm1_Yr3.png.\n\n"
              "\tFresh Seeds\n\n\t\t0 Seeds recruited from Seeds_Yr3.png.\n\n"
              "Done.\n\nWriting Data File\nDone.\n\n\nThe total number of new seeds: 1\n");
    EXPECT_EQ(read_file(dir / "Seeds_Yr4.dat"), "100   100\n");
    for (const char *prefix : output_prefixes)
        expect_written_map(dir / (prefix + std::string("4.png")), {});
    EXPECT_EQ(snapshot(dir.path()).size(), 12u) << "six maps read, five maps and the list written, nothing else";
}

// Five seeds in cell (3, 4) of one cohort's map, every other map empty: the
// first seven deviates of the run decide them.
struct five_seed_case {
    const char *what;
    int cohort;                  // whose map holds the seeds
    const char *recruits_line;   // the cohort's line
    const char *map_with_seed;   // the output map holding 1 dormant seed; nullptr: none
};

void PrintTo(const five_seed_case &c, std::ostream *out)
{
    *out << c.what;
}

class WinterFiveSeeds : public ::testing::TestWithParam<five_seed_case> {};

TEST_P(WinterFiveSeeds, FollowTheFirstSevenDeviates)
{
    const five_seed_case &c = GetParam();
    scratch_directory dir;
    write_empty_inputs(dir, "3");
    write_sparse_seed_map_file(dir / input_map(c.cohort, "3"), {{3, 4, 5}}, 10, 10);

    program_result run = run_program(WINTER_EXE, {"3", "4"}, dir.path());
    EXPECT_EQ(run.exit_status, 0);
    std::vector<long long> recruits(6, 0);
    recruits[c.cohort] = 1;
    EXPECT_EQ(run.out, full_output("3", recruits, 1));
    EXPECT_NE(run.out.find(c.recruits_line), std::string::npos);
    EXPECT_EQ(read_file(dir / "Seeds_Yr4.dat"), "  3     4\n");
    for (const char *prefix : output_prefixes) {
        const std::string name = prefix + std::string("4.png");
        std::vector<unsigned char> expected;
        if (c.map_with_seed != nullptr && name == c.map_with_seed) {
            expected.assign(static_cast<std::size_t>(side) * side, 0);
            expected[static_cast<std::size_t>(4) * side + 3] = 1;
        }
        expect_written_map(dir / name, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, WinterFiveSeeds,
    ::testing::Values(
        // Predation against 1 - 0.4: the seeds drawing 0.5183727 and 0.0452022
        // survive; 0.8049599 > 0.75 germinates, 0.5392823 stays dormant.
        five_seed_case{"fresh seeds", 5, "\t\t1 Seeds recruited from Seeds_Yr3.png.\n", "Dorm1_Yr4.png"},
        // Against 1 - 0.8 only 0.0452022 survives, and 0.8049599 > 0.48
        // germinates; the oldest cohort's dormant seeds go nowhere anyway.
        five_seed_case{"5-year seeds", 0, "\t\t1 Seeds recruited from Dorm5_Yr3.png.\n", nullptr}));

TEST(WinterYear, MatchesTheYearComputedCellByCell)
{
    scratch_directory dir;
    write_varied_inputs(dir, "3");
    year_outcome year = expect_year_as_computed(dir.path(), "3", "4");
    // The fixture is meant to exercise every cohort.
    for (int k = 0; k < 6; ++k)
        EXPECT_GT(year.recruits[k], 0) << cohorts[k].input_prefix;
}

TEST(WinterYear, RepeatedRunsAndTheSameLabelForInputAndOutputWriteTheSameFiles)
{
    scratch_directory first, same_label;
    write_varied_inputs(first, "3");
    write_varied_inputs(same_label, "3");

    program_result run = run_program(WINTER_EXE, {"3", "4"}, first.path());
    ASSERT_EQ(run.exit_status, 0);
    const auto written = snapshot(first.path());
    program_result again = run_program(WINTER_EXE, {"3", "4"}, first.path());
    EXPECT_EQ(again.exit_status, 0);
    EXPECT_EQ(again.out, run.out);
    EXPECT_TRUE(snapshot(first.path()) == written) << "a second run on the same maps changed a file";

    // Every map is read before anything is replaced, so overwriting the
    // input year gives what a fresh label gives.
    program_result over = run_program(WINTER_EXE, {"3", "3", "ignored", "arguments"}, same_label.path());
    EXPECT_EQ(over.exit_status, 0);
    EXPECT_EQ(over.out, run.out);
    EXPECT_EQ(read_file(same_label / "Seeds_Yr3.dat"), read_file(first / "Seeds_Yr4.dat"));
    for (const char *prefix : output_prefixes)
        EXPECT_EQ(read_file(same_label / (prefix + std::string("3.png"))),
                  read_file(first / (prefix + std::string("4.png"))))
            << prefix;
    EXPECT_EQ(read_file(same_label / "Seeds_Yr3.png"), read_file(first / "Seeds_Yr3.png"))
        << "no cohort writes a fresh-seed map";
    EXPECT_EQ(snapshot(same_label.path()).size(), 7u);
}

// Maps of the field's size and larger: cells run from 1 to 5000; pixel row
// and column 0 belong to no cell; a cell on row or column 5000 reads 0 from
// a 5000 x 5000 map, but is processed from a larger one and reaches the
// grid, though never the written maps.
struct boundary_case {
    const char *what;
    int size;
    std::vector<seeded_cell> cells;
    std::vector<std::pair<int, int>> listed;    // cells that must appear in the list
    std::vector<std::pair<int, int>> unlisted;  // cells that must not
};

void PrintTo(const boundary_case &c, std::ostream *out)
{
    *out << c.what;
}

class WinterBoundary : public ::testing::TestWithParam<boundary_case> {};

TEST_P(WinterBoundary, ProcessesTheCellsFrom1To5000)
{
    const boundary_case &c = GetParam();
    scratch_directory dir;
    write_empty_inputs(dir, "3");
    write_sparse_seed_map_file(dir / "Seeds_Yr3.png", c.cells, c.size, c.size);
    write_sparse_seed_map_file(dir / "Dorm2_Yr3.png", c.cells, c.size, c.size);

    expect_year_as_computed(dir.path(), "3", "4");

    const std::string list = read_file(dir / "Seeds_Yr4.dat");
    char line[32];
    for (auto [x, y] : c.listed) {
        std::snprintf(line, sizeof line, "%3d   %3d\n", x, y);
        EXPECT_NE(list.find(line), std::string::npos) << "cell (" << x << ", " << y << ") has seedlings";
    }
    for (auto [x, y] : c.unlisted) {
        std::snprintf(line, sizeof line, "%3d   %3d\n", x, y);
        EXPECT_EQ(list.find(line), std::string::npos) << "cell (" << x << ", " << y << ") has none";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Maps, WinterBoundary,
    ::testing::Values(
        boundary_case{"5000 x 5000",
                      5000,
                      {{0, 10, 255}, {10, 0, 255}, {0, 0, 255}, {4999, 4999, 255}, {4999, 1, 255}, {1, 4999, 255}},
                      {{4999, 4999}, {4999, 1}, {1, 4999}},
                      {{10, 1}, {1, 10}, {1, 1}}},
        boundary_case{"5002 x 5002",
                      5002,
                      {{5000, 3, 255}, {3, 5000, 255}, {5000, 5000, 255}, {5001, 7, 255}, {7, 5001, 255}},
                      {{5000, 3}, {3, 5000}, {5000, 5000}},
                      {{5001, 7}, {7, 5001}}}));

// Labels are used verbatim and may be of any length.
TEST(WinterLabels, NamesTheFilesAfterLabelsOfAnyLength)
{
    for (std::size_t length : {37u, 200u}) {
        SCOPED_TRACE(length);
        const std::string in(length, 'i'), out = std::string(length - 1, 'o') + "5";
        scratch_directory dir;
        write_empty_inputs(dir, in);
        program_result run = run_program(WINTER_EXE, {in, out}, dir.path());
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(run.out, full_output(in, std::vector<long long>(6, 0), 1));
        EXPECT_EQ(read_file(dir / ("Seeds_Yr" + out + ".dat")), "100   100\n");
        for (const char *prefix : output_prefixes)
            EXPECT_TRUE(file_exists(dir / (prefix + out + ".png"))) << prefix;
        EXPECT_EQ(snapshot(dir.path()).size(), 12u);
    }
}

TEST(WinterUsage, RefusesFewerThanTwoLabels)
{
    for (std::vector<std::string> arguments : {std::vector<std::string>{}, std::vector<std::string>{"3"}}) {
        scratch_directory dir;
        write_empty_inputs(dir, "3");
        const auto before = snapshot(dir.path());
        program_result run = run_program(WINTER_EXE, arguments, dir.path());
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, "usage: winter input-label output-label\n");
        EXPECT_TRUE(snapshot(dir.path()) == before);
    }
}

// --- Years that fail: the usual message and exit status, standard output
// as far as the run got, and not one file created, removed or changed. ---

struct failure_case {
    const char *what;
    std::string output_label;
    void (*prepare)(const scratch_directory &dir);
    const char *printed_through;  // standard output runs up to and including this
    const char *then_printed;     // and then this
    const char *named_file;       // the file the message on standard error names
    const char *reason;           // part of that message
    long long file_size_limit;
};

void PrintTo(const failure_case &c, std::ostream *out)
{
    *out << c.what;
}

class WinterFailure : public ::testing::TestWithParam<failure_case> {};

TEST_P(WinterFailure, ReplacesNothing)
{
    const failure_case &c = GetParam();
    scratch_directory dir;
    write_empty_inputs(dir, "3");
    // Outputs of an earlier run, which a failed run must leave as they are.
    write_file(dir / "Dorm5_Yr4.png", "an older 5-year map");
    write_file(dir / "Dorm1_Yr4.png", "an older 1-year map");
    write_file(dir / "Seeds_Yr4.dat", "  1     1\n");
    c.prepare(dir);
    const auto before = snapshot(dir.path());

    program_result run = run_program(WINTER_EXE, {"3", c.output_label}, dir.path(), {c.file_size_limit});

    EXPECT_EQ(run.exit_status, 1);
    const std::string year = full_output("3", std::vector<long long>(6, 0), 1);
    const std::size_t stop = year.find(c.printed_through);
    ASSERT_NE(stop, std::string::npos);
    EXPECT_EQ(run.out, year.substr(0, stop + std::string(c.printed_through).size()) + c.then_printed);
    EXPECT_NE(run.err.find(c.named_file), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
    EXPECT_TRUE(snapshot(dir.path()) == before) << "a file was created, removed or changed";
}

INSTANTIATE_TEST_SUITE_P(
    Causes, WinterFailure,
    ::testing::Values(
        failure_case{"missing input map", "4",
                     [](const scratch_directory &dir) { std::filesystem::remove(dir / "Dorm3_Yr3.png"); },
                     "\t3 Year Dormant Seeds\n", "Can't open output file Dorm3_Yr3.png\n", "Dorm3_Yr3.png",
                     "No such file", -1},
        failure_case{"input map not a PNG", "4",
                     [](const scratch_directory &dir) { write_file(dir / "Dorm2_Yr3.png", "not an image\n"); },
                     "\t2 Year Dormant Seeds\n", "", "Dorm2_Yr3.png", "not a PNG", -1},
        failure_case{"input map true-colour", "4",
                     [](const scratch_directory &dir) { write_true_colour_png_file(dir / "Seeds_Yr3.png"); },
                     "\tFresh Seeds\n\n", "", "Seeds_Yr3.png", "true-colour", -1},
        failure_case{"output directory missing", "nodir/4", [](const scratch_directory &) {},
                     "\t\t0 Seeds recruited from Dorm4_Yr3.png.\n\n", "Can't open output file Dorm5_Yrnodir/4.png\n",
                     "Dorm5_Yrnodir/4.png", "No such file", -1},
        failure_case{"directory in the way of a map", "4",
                     [](const scratch_directory &dir) { std::filesystem::create_directory(dir / "Dorm3_Yr4.png"); },
                     "\t\t0 Seeds recruited from Dorm2_Yr3.png.\n\n", "Can't open output file Dorm3_Yr4.png\n",
                     "Dorm3_Yr4.png", "directory", -1},
        failure_case{"map on a full disk", "4",
                     [](const scratch_directory &dir) {
                         std::filesystem::create_symlink("/dev/full", dir / "Dorm2_Yr4.png");
                     },
                     "\t\t0 Seeds recruited from Dorm1_Yr3.png.\n\n", "", "Dorm2_Yr4.png", "No space", -1},
        failure_case{"map beyond the file-size limit", "4", [](const scratch_directory &) {},
                     "\t\t0 Seeds recruited from Dorm4_Yr3.png.\n\n", "", "Dorm5_Yr4.png", "cannot write", 8192},
        failure_case{"directory in the way of the list", "4",
                     [](const scratch_directory &dir) {
                         std::filesystem::remove(dir / "Seeds_Yr4.dat");
                         std::filesystem::create_directory(dir / "Seeds_Yr4.dat");
                     },
                     "Seeds_Yr3.png.\n\nDone.\n\n", "Can't open output file Seeds_Yr4.dat\n", "Seeds_Yr4.dat",
                     "directory", -1},
        failure_case{"list on a full disk", "4",
                     [](const scratch_directory &dir) {
                         std::filesystem::remove(dir / "Seeds_Yr4.dat");
                         std::filesystem::create_symlink("/dev/full", dir / "Seeds_Yr4.dat");
                     },
                     "Writing Data File\n", "", "Seeds_Yr4.dat", "No space", -1}));

}  // namespace
