// One cohort run in-process: the threshold comparisons, saturation, the
// number and order of the draws, and the grid's seedling list.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "beta.h"
#include "cohort_schedule.h"
#include "expected_schedule.h"
#include "distrib.h"
#include "owners.h"
#include "expected_schedule.h"
#include "fixture_maps.h"
#include "output_file.h"
#include "program_run.h"
#include "random.h"
#include "ranged_arrays.h"
#include "seedling_grid.h"

using namespace seedbank;
using namespace seedbank::distribute;

namespace {

float float_of(uint32_t bits)
{
    return std::bit_cast<float>(bits);
}

// --- Thresholds ---

TEST(DistribDecision, ComparesTheUnroundedDeviateWithTheSinglePrecisionThresholds)
{
    const float pred = float_of(0x3ECCCCCD);                     // 0.4f
    const double survival = 1.0 - (double)pred;                   // 0.599999994..., exact
    const float d_prob = float_of(0x3F6147AE);                    // 0.88f = 0.879999995...
    const long double above_survival = std::nextafter((long double)survival, 1.0L);
    const long double tiny = std::ldexp(1.0L, -62);

    struct {
        const char *what;
        long double deviate;
        bool survives;
    } predation[] = {
        {"equal to 1 - pred", (long double)survival, true},
        {"one extended ulp above", above_survival, false},
        // Rounded to single or double it would equal the threshold and survive.
        {"2^-62 above", (long double)survival + tiny, false},
        // 0.6 in double lies above 1 - 0.4f: 1 - pred must come from the float.
        {"0.6 as a double", 0.6L, false},
        {"just below", (long double)survival - tiny, true},
    };
    for (const auto &c : predation)
        EXPECT_EQ(seed_survives(c.deviate, pred), c.survives) << c.what;

    struct {
        const char *what;
        long double deviate;
        bool dormant;
    } dormancy[] = {
        {"equal to d_prob", (long double)d_prob, true},
        {"2^-62 above d_prob", (long double)d_prob + tiny, false},
        // 0.88 as a double is above 0.88f: d_prob enters at its float value.
        {"0.88 as a double", (long double)0.88, false},
        {"just below", (long double)d_prob - tiny, true},
    };
    for (const auto &c : dormancy)
        EXPECT_EQ(seed_stays_dormant(c.deviate, d_prob), c.dormant) << c.what;
}

TEST(DistribSchedule, RunsTheCohortsOldestFirstWithTheirSinglePrecisionConstants)
{
    const cohort_row (&expected)[6] = expected_cohorts;
    for (int step = 0; step < 6; ++step) {
        const cohort_step &actual = cohort_schedule[step];
        SCOPED_TRACE(expected[step].header);
        EXPECT_STREQ(actual.header, expected[step].header);
        EXPECT_STREQ(actual.input_prefix, expected[step].input_prefix);
        if (expected[step].output_prefix == nullptr)
            EXPECT_EQ(actual.output_prefix, nullptr);
        else
            EXPECT_STREQ(actual.output_prefix, expected[step].output_prefix);
        EXPECT_EQ(std::bit_cast<uint32_t>(actual.d_prob), expected[step].d_prob);
        EXPECT_EQ(std::bit_cast<uint32_t>(actual.pred), expected[step].pred);
    }
}

// --- One cohort run ---

// The field grid, cleared, released at the end of the test.
struct field_grid {
    owned_cmatrix owner{1, field_side, 1, field_side};
    unsigned char **cells = owner.get();
    field_grid() { clear_grid(cells); }
};

// The first n deviates of a fresh process, leaving the stream fresh again.
std::vector<long double> fresh_deviates(int n)
{
    restart_random_module();
    restart_beta_stream();
    std::vector<long double> deviates;
    for (int i = 0; i < n; ++i)
        deviates.push_back(ibeta(1, 1));
    restart_random_module();
    restart_beta_stream();
    return deviates;
}

// Runs distrib and returns what it printed; the output map, if any, is put
// in place.
std::string run_distrib(unsigned char **grid, const std::string &in, const std::string &out, float d_prob,
                        float pred, cohort_tally *tally = nullptr)
{
    testing::internal::CaptureStdout();
    std::vector<output_file> outputs;
    const outcome<cohort_tally> ran = distrib(grid, in, out, d_prob, pred, outputs);
    std::fflush(stdout);
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ran.ok()) << ran.error().file << ": " << ran.error().reason;
    if (ran.ok() && tally != nullptr)
        *tally = ran.value();
    EXPECT_TRUE(commit_outputs(outputs).ok());
    return printed;
}

struct certain_case {
    const char *what;
    float pred, d_prob;
    bool writes_map;
    int grid_before, count;
    int grid_after, dormant_written;
    long long recruits;
    int draws;
};

TEST(DistribCohort, SaturatesTheGridCountsEveryRecruitAndDrawsCountPlusSurvivors)
{
    // pred 0 keeps every seed and pred 1 loses every one; d_prob 0 makes
    // every survivor germinate and d_prob 1 keeps every one dormant (every
    // deviate lies strictly between 0 and 1).
    const certain_case cases[] = {
        {"250 + 10 germinations", 0.0f, 0.0f, true, 250, 10, 255, 0, 10, 20},
        {"250 + 10 in the oldest cohort", 0.0f, 0.0f, false, 250, 10, 255, 0, 10, 20},
        {"255 germinations", 0.0f, 0.0f, true, 0, 255, 255, 0, 255, 510},
        {"255 dormant", 0.0f, 1.0f, true, 7, 255, 7, 255, 0, 510},
        {"all lost: no dormancy draw", 1.0f, 1.0f, true, 3, 255, 3, 0, 0, 255},
    };
    const std::vector<long double> deviates = fresh_deviates(511);
    for (const certain_case &c : cases) {
        SCOPED_TRACE(c.what);
        restart_random_module();
        restart_beta_stream();
        scratch_directory dir;
        // Other cells empty: they take no draw and stay 0 in grid and map.
        write_sparse_seed_map_file(dir / "in.png", {{2, 3, c.count}}, 6, 6);
        field_grid grid;
        grid.cells[2][3] = (unsigned char)c.grid_before;
        const std::string out = c.writes_map ? dir / "out.png" : "";

        cohort_tally tally;
        std::string printed = run_distrib(grid.cells, dir / "in.png", out, c.d_prob, c.pred, &tally);

        EXPECT_EQ(printed, "\t\t" + std::to_string(c.recruits) + " Seeds recruited from " + dir / "in.png" + ".\n\n");
        EXPECT_EQ(grid.cells[2][3], c.grid_after);
        EXPECT_EQ(grid_total(grid.cells), c.grid_after);
        EXPECT_EQ(ibeta(1, 1), deviates[c.draws]) << "the stream must have advanced by " << c.draws;
        // The account: every seed read is lost, germinates or stays dormant.
        EXPECT_EQ(tally.seeds_read, c.count);
        EXPECT_EQ(tally.germinated, c.recruits);
        EXPECT_EQ(tally.dormant, c.dormant_written);
        EXPECT_EQ(tally.lost_to_predation, c.count - c.recruits - c.dormant_written);
        EXPECT_EQ(tally.seedlings_kept, c.grid_after - c.grid_before);
        EXPECT_EQ(tally.carried_over, c.writes_map ? c.dormant_written : 0);
        if (c.writes_map) {
            decoded_image map = decode_png_file(out);
            ASSERT_EQ(map.width, 5000);
            ASSERT_EQ(map.height, 5000);
            long long sum = 0;
            for (unsigned char index : map.index)
                sum += index;
            EXPECT_EQ(map.at(2, 3), c.dormant_written);
            EXPECT_EQ(sum, c.dormant_written);
        } else {
            EXPECT_EQ(snapshot(dir.path()).size(), 1u) << "the oldest cohort writes no map";
        }
    }
}

// Survivors and dormant seeds of one cell, taking deviates from `next`.
struct cell_fate {
    int total = 0, dormants = 0, germ = 0;
};
cell_fate fate_of(int count, const std::vector<long double> &deviates, std::size_t &next, float d_prob, float pred)
{
    cell_fate fate;
    for (int seed = 0; seed < count; ++seed)
        if (deviates[next++] <= (long double)(1.0 - (double)pred))
            ++fate.total;
    for (int seed = 0; seed < fate.total; ++seed) {
        if (deviates[next++] <= (long double)d_prob)
            ++fate.dormants;
        else
            ++fate.germ;
    }
    return fate;
}

TEST(DistribCohort, VisitsCellsWithXOuterAndYInner)
{
    // Cell (1, 2) comes first (x = 1) and takes the first seven deviates of
    // the run: two of its five seeds survive predation, one germinates and
    // one stays dormant.  Cell (2, 1) follows with the next ones.
    const float d_prob = 0.75f, pred = 0.4f;
    const std::vector<long double> deviates = fresh_deviates(40);
    std::size_t next = 7;
    const cell_fate second = fate_of(9, deviates, next, d_prob, pred);

    scratch_directory dir;
    write_sparse_seed_map_file(dir / "in.png", {{1, 2, 5}, {2, 1, 9}}, 4, 4);
    field_grid grid;
    std::string printed = run_distrib(grid.cells, dir / "in.png", dir / "out.png", d_prob, pred);

    EXPECT_EQ(grid.cells[1][2], 1);
    EXPECT_EQ(grid.cells[2][1], second.germ);
    decoded_image map = decode_png_file(dir / "out.png");
    EXPECT_EQ(map.at(1, 2), 1);
    EXPECT_EQ(map.at(2, 1), second.dormants);
    EXPECT_EQ(printed, "\t\t" + std::to_string(1 + second.germ) + " Seeds recruited from " + dir / "in.png" + ".\n\n");
    EXPECT_EQ(ibeta(1, 1), deviates[next]);
}

// --- The grid and its list ---

TEST(WinterSeedlingGrid, WritesOneLinePerSeedlingSortedByXThenY)
{
    field_grid grid;
    grid.cells[4711][12] = 2;
    grid.cells[7][42] = 255;
    grid.cells[7][3] = 1;
    grid.cells[1][4999] = 1;
    grid.cells[5000][5000] = 1;

    char *text = nullptr;
    std::size_t size = 0;
    FILE *list = open_memstream(&text, &size);
    const long long total = write_seedling_grid(list, grid.cells);
    std::fclose(list);
    std::string written(text, size);
    std::free(text);

    std::string expected = "  1   4999\n  7     3\n";
    for (int i = 0; i < 255; ++i)
        expected += "  7    42\n";
    expected += "4711    12\n4711    12\n5000   5000\n";
    EXPECT_EQ(written, expected);
    EXPECT_EQ(total, 260);
    EXPECT_EQ(grid_total(grid.cells), 260);
}

TEST(WinterSeedlingGrid, CountsAFullGridBeyondTheRangeOfAnInt)
{
    field_grid grid;
    for (int x = 1; x <= field_side; ++x)
        for (int y = 1; y <= field_side; ++y)
            grid.cells[x][y] = 255;
    EXPECT_EQ(grid_total(grid.cells), 6375000000LL);
    clear_grid(grid.cells);
    EXPECT_EQ(grid_total(grid.cells), 0);
}

// The list formatted in blocks against the one printed line by line, on
// whole fields: every coordinate width, counts up to 255, sparse and dense.
struct list_case {
    const char *name;
    unsigned int seed;
    int occupied_per_mille;
    int high;
};

class WinterSeedlingList : public testing::TestWithParam<list_case> {};

std::string list_of(long long (*writer)(FILE *, unsigned char **), unsigned char **cells, long long &lines)
{
    char *text = nullptr;
    std::size_t size = 0;
    FILE *list = open_memstream(&text, &size);
    lines = writer(list, cells);
    std::fclose(list);
    std::string written(text, size);
    std::free(text);
    return written;
}

TEST_P(WinterSeedlingList, BlocksEqualThePrintedLines)
{
    const list_case &c = GetParam();
    field_grid grid;
    std::uint32_t state = c.seed;
    for (int x = 1; x <= field_side; ++x)
        for (int y = 1; y <= field_side; ++y) {
            state = state * 1664525u + 1013904223u;
            if (static_cast<int>((state >> 8) % 1000) < c.occupied_per_mille)
                grid.cells[x][y] = static_cast<unsigned char>(1 + (state >> 20) % static_cast<unsigned>(c.high));
        }
    long long fast_lines = 0, plain_lines = 0;
    const std::string fast = list_of(write_seedling_grid, grid.cells, fast_lines);
    const std::string plain = list_of(write_seedling_grid_plainly, grid.cells, plain_lines);
    EXPECT_EQ(fast_lines, plain_lines);
    EXPECT_EQ(fast_lines, grid_total(grid.cells));
    ASSERT_EQ(fast.size(), plain.size());
    EXPECT_TRUE(fast == plain);
}

INSTANTIATE_TEST_SUITE_P(Fields, WinterSeedlingList,
                         testing::Values(list_case{"sparse_up_to_255", 11, 1, 255},
                                         list_case{"one_in_twenty_up_to_3", 12, 50, 3},
                                         list_case{"three_in_a_thousand_single", 13, 3, 1}),
                         [](const testing::TestParamInfo<list_case> &instance) { return std::string(instance.param.name); });

}  // namespace
