// The fast year against the plain one: the same messages, grid and map
// bytes on random maps of every density, with 1, 2 and 4 threads; and on
// other seed words against a plain cell walk over the same stream.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "beta.h"
#include "cohort_schedule.h"
#include "deviate_engine.h"
#include "distrib.h"
#include "fast_year.h"
#include "fixture_maps.h"
#include "outcome.h"
#include "output_file.h"
#include "owners.h"
#include "program_run.h"
#include "random.h"
#include "ranged_arrays.h"
#include "seedling_grid.h"

namespace {

using namespace seedbank;
using namespace seedbank::distribute;

struct density {
    const char *name;
    int width, height;     // pixels; cells 1..width-1 x 1..height-1
    double filled;         // share of cells with seeds
    int least, most;       // seeds in a filled cell
};

const density densities[] = {
    {"Sparse", 900, 700, 0.01, 1, 5},
    {"Medium", 600, 500, 0.5, 1, 3},
    {"Dense", 500, 400, 1.0, 1, 19},
    {"Saturation", 90, 110, 1.0, 255, 255},
};

// Six input maps of year "1" in `directory`, each with its own contents.
void write_year_maps(const std::string &directory, const density &d)
{
    std::mt19937 random(static_cast<unsigned>(d.width * 7 + d.height));
    for (const cohort_step &step : cohort_schedule) {
        std::vector<int> counts(static_cast<std::size_t>(d.width) * static_cast<std::size_t>(d.height));
        std::uniform_real_distribution<double> share(0.0, 1.0);
        std::uniform_int_distribution<int> seeds(d.least, d.most);
        for (int &count : counts)
            count = share(random) < d.filled ? seeds(random) : 0;
        write_seed_map_file(directory + "/" + seed_map_name(step.input_prefix, "1"), d.width, d.height,
                            [&](int x, int y) {
                                return counts[static_cast<std::size_t>(y) * static_cast<std::size_t>(d.width) +
                                              static_cast<std::size_t>(x)];
                            });
    }
}

std::string file_bytes(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The reference: distrib for every cohort, with the driver's messages.
outcome<std::vector<cohort_tally>> plain_cohorts(unsigned char **grid, std::vector<output_file> &outputs)
{
    std::vector<cohort_tally> tallies;
    std::printf("Distributing:\n");
    for (const cohort_run &run : built_in_year("1", "2")) {
        std::printf("%s", run.header.c_str());
        outcome<cohort_tally> ran = distrib(grid, run.file_in, run.file_out, run.d_prob, run.pred, outputs);
        if (!ran)
            return ran.error();
        tallies.push_back(ran.value());
    }
    std::printf("Done.\n\n");
    return tallies;
}

auto fast_cohorts(const year_settings &settings)
{
    return [settings](unsigned char **grid, std::vector<output_file> &outputs) {
        return distribute_cohorts_fast(grid, built_in_year("1", "2"), settings, outputs);
    };
}

bool same_tallies(const std::vector<cohort_tally> &a, const std::vector<cohort_tally> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t k = 0; k < a.size(); ++k)
        if (a[k].seeds_read != b[k].seeds_read || a[k].lost_to_predation != b[k].lost_to_predation ||
            a[k].germinated != b[k].germinated || a[k].dormant != b[k].dormant ||
            a[k].seedlings_kept != b[k].seedlings_kept || a[k].carried_over != b[k].carried_over)
            return false;
    return true;
}

struct year_result {
    std::vector<cohort_tally> tallies;
    std::string out;
    std::vector<unsigned char> grid;  // x-major, cells 1..5000
    std::vector<std::string> maps;    // Dorm1..Dorm5 of year "2"
};

// Runs `cohorts` in `directory` on a fresh grid and collects what it made.
template <typename Cohorts>
year_result run_year(const std::string &directory, Cohorts cohorts)
{
    const std::string previous = std::filesystem::current_path();
    EXPECT_EQ(chdir(directory.c_str()), 0);
    owned_cmatrix owned_grid(1, field_side, 1, field_side);
    unsigned char **grid = owned_grid.get();
    clear_grid(grid);
    std::vector<output_file> outputs;
    testing::internal::CaptureStdout();
    const outcome<std::vector<cohort_tally>> ran = cohorts(grid, outputs);
    std::fflush(stdout);
    year_result result;
    result.out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(ran.ok()) << ran.error().file << ": " << ran.error().reason;
    if (ran.ok())
        result.tallies = ran.value();
    EXPECT_TRUE(commit_outputs(outputs).ok());
    for (int x = 1; x <= field_side; ++x)
        result.grid.insert(result.grid.end(), grid[x] + 1, grid[x] + 1 + field_side);
    for (const char *prefix : {"Dorm1_Yr", "Dorm2_Yr", "Dorm3_Yr", "Dorm4_Yr", "Dorm5_Yr"})
        result.maps.push_back(file_bytes(seed_map_name(prefix, "2")));
    EXPECT_EQ(chdir(previous.c_str()), 0);
    return result;
}

year_result plain_year(const std::string &directory)
{
    restart_random_module();
    restart_beta_stream();
    return run_year(directory, plain_cohorts);
}

year_result fast_year(const std::string &directory, const year_settings &settings)
{
    return run_year(directory, fast_cohorts(settings));
}

void expect_same_year(const year_result &fast, const year_result &plain)
{
    EXPECT_EQ(fast.out, plain.out);
    EXPECT_TRUE(same_tallies(fast.tallies, plain.tallies)) << "the cohorts' accounts differ";
    EXPECT_TRUE(fast.grid == plain.grid) << "the grids differ";
    ASSERT_EQ(fast.maps.size(), plain.maps.size());
    for (std::size_t i = 0; i < fast.maps.size(); ++i) {
        EXPECT_FALSE(plain.maps[i].empty());
        EXPECT_TRUE(fast.maps[i] == plain.maps[i]) << "map Dorm" << i + 1 << "_Yr2.png differs";
    }
}

class FastYear : public ::testing::TestWithParam<std::tuple<density, int>> {};

}  // namespace

TEST_P(FastYear, EqualsThePlainYear)
{
    const auto &[d, threads] = GetParam();
    scratch_directory plain_dir;
    scratch_directory fast_dir;
    write_year_maps(plain_dir.path(), d);
    write_year_maps(fast_dir.path(), d);
    const year_result plain = plain_year(plain_dir.path());
    year_settings settings;
    settings.threads = threads;
    expect_same_year(fast_year(fast_dir.path(), settings), plain);
}

INSTANTIATE_TEST_SUITE_P(Densities, FastYear,
                         ::testing::Combine(::testing::ValuesIn(densities), ::testing::Values(1, 2, 4)),
                         [](const auto &instance) {
                             return std::string(std::get<0>(instance.param).name) + "_" +
                                    std::to_string(std::get<1>(instance.param)) + "Threads";
                         });

namespace {

// The plain walk of a year on any stream: cells x outer, y inner, each
// seed's deviates one at a time through the scalar engine.
year_result modelled_year(const std::string &directory, int32_t seed_word)
{
    const std::vector<cohort_run> runs = built_in_year("1", "2");
    const threshold_ranks ranks(year_thresholds(runs));
    generator_state stream = seeded_state(seed_word);
    auto next = [&] {
        uint8_t rank = 0;
        make_ranks_plain(stream, ranks, &rank, 1);
        return rank;
    };
    year_result year;
    year.grid.assign(static_cast<std::size_t>(field_side) * field_side, 0);
    for (const cohort_step &step : cohort_schedule) {
        const decoded_image in = decode_png_file(directory + "/" + seed_map_name(step.input_prefix, "1"));
        const uint8_t survive = ranks.index_of(1.0 - static_cast<double>(step.pred));
        const uint8_t dormant = ranks.index_of(static_cast<double>(step.d_prob));
        std::vector<unsigned char> out(static_cast<std::size_t>(field_side) * field_side, 0);
        for (int x = 1; x < in.width; ++x)
            for (int y = 1; y < in.height; ++y) {
                int total = 0, dormants = 0;
                for (int s = 0; s < in.at(x, y); ++s)
                    total += next() <= survive;
                for (int s = 0; s < total; ++s)
                    dormants += next() <= dormant;
                unsigned char &cell =
                    year.grid[static_cast<std::size_t>(x - 1) * field_side + static_cast<std::size_t>(y - 1)];
                cell = static_cast<unsigned char>(std::min(cell + total - dormants, 255));
                out[static_cast<std::size_t>(y) * field_side + static_cast<std::size_t>(x)] =
                    static_cast<unsigned char>(dormants);
            }
        year.maps.emplace_back(out.begin(), out.end());
    }
    return year;
}

struct seed_case {
    const char *name;
    int32_t seed_word;
    int threads;
};

class FastYearSeed : public ::testing::TestWithParam<seed_case> {};

}  // namespace

TEST_P(FastYearSeed, EqualsThePlainWalkOfItsStream)
{
    const seed_case &c = GetParam();
    scratch_directory dir;
    write_year_maps(dir.path(), densities[2]);
    year_settings settings;
    settings.threads = c.threads;
    settings.seed_word = c.seed_word;
    const year_result fast = fast_year(dir.path(), settings);
    const year_result model = modelled_year(dir.path(), c.seed_word);
    EXPECT_TRUE(fast.grid == model.grid) << "the grids differ";
    // model.maps[k] is cohort k's dormant plane; cohort k writes Dorm(6-k).
    for (int k = 1; k < 6; ++k) {
        const decoded_image written = decode_png_file(dir / seed_map_name(cohort_schedule[k].output_prefix, "2"));
        ASSERT_EQ(written.width, field_side);
        EXPECT_TRUE(std::string(written.index.begin(), written.index.end()) == model.maps[static_cast<std::size_t>(k)])
            << cohort_schedule[k].output_prefix;
    }
}

INSTANTIATE_TEST_SUITE_P(Seeds, FastYearSeed,
                         ::testing::Values(seed_case{"MinusOne_1Thread", -1, 1},
                                           seed_case{"MinusOne_2Threads", -1, 2},
                                           seed_case{"Other_4Threads", -4711, 4},
                                           seed_case{"Positive_2Threads", 12345, 2}),
                         [](const auto &instance) { return std::string(instance.param.name); });

namespace {

struct failing_case {
    const char *name;
    std::function<void(const std::string &directory)> break_year;
};

// A year's files broken in one place: the fast year fails where the plain
// one fails, having printed the same text, with the same failure.
const failing_case failing_cases[] = {
    {"FirstMapMissing",
     [](const std::string &d) { std::filesystem::remove(d + "/Dorm5_Yr1.png"); }},
    {"MiddleMapMissing",
     [](const std::string &d) { std::filesystem::remove(d + "/Dorm2_Yr1.png"); }},
    {"MiddleMapNotAPng",
     [](const std::string &d) { std::ofstream(d + "/Dorm3_Yr1.png") << "not a seed map"; }},
    {"MapWriteFails",
     [](const std::string &d) { std::filesystem::create_symlink("/dev/full", d + "/Dorm4_Yr2.png"); }},
    {"MapCannotBeOpened",
     [](const std::string &d) { std::filesystem::create_directory(d + "/Dorm3_Yr2.png"); }},
    {"WriteFailsThenMapMissing",
     [](const std::string &d) {
         std::filesystem::create_symlink("/dev/full", d + "/Dorm5_Yr2.png");
         std::filesystem::remove(d + "/Dorm3_Yr1.png");
     }},
};

class FastYearFailure : public ::testing::TestWithParam<std::tuple<failing_case, int>> {};

struct failed_year {
    std::string out;
    status result;
};

status as_status(const outcome<std::vector<cohort_tally>> &ran)
{
    if (ran)
        return {};
    return ran.error();
}

template <typename Cohorts>
failed_year run_failing_year(const std::string &directory, Cohorts cohorts)
{
    const std::string previous = std::filesystem::current_path();
    EXPECT_EQ(chdir(directory.c_str()), 0);
    owned_cmatrix grid(1, field_side, 1, field_side);
    clear_grid(grid.get());
    std::vector<output_file> outputs;
    testing::internal::CaptureStdout();
    failed_year year;
    year.result = as_status(cohorts(grid.get(), outputs));
    std::fflush(stdout);
    year.out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(chdir(previous.c_str()), 0);
    return year;
}

}  // namespace

TEST_P(FastYearFailure, FailsWhereThePlainYearFails)
{
    const auto &[c, threads] = GetParam();
    scratch_directory plain_dir;
    scratch_directory fast_dir;
    for (const std::string &dir : {plain_dir.path(), fast_dir.path()}) {
        write_year_maps(dir, densities[1]);
        c.break_year(dir);
    }
    restart_random_module();
    restart_beta_stream();
    const failed_year plain = run_failing_year(plain_dir.path(), plain_cohorts);
    year_settings settings;
    settings.threads = threads;
    const failed_year fast = run_failing_year(fast_dir.path(), fast_cohorts(settings));
    ASSERT_FALSE(plain.result.ok());
    ASSERT_FALSE(fast.result.ok());
    EXPECT_EQ(fast.out, plain.out);
    EXPECT_EQ(fast.result.error().what, plain.result.error().what);
    EXPECT_EQ(fast.result.error().file, plain.result.error().file);
    EXPECT_EQ(fast.result.error().reason, plain.result.error().reason);
}

INSTANTIATE_TEST_SUITE_P(Cases, FastYearFailure,
                         ::testing::Combine(::testing::ValuesIn(failing_cases), ::testing::Values(1, 2)),
                         [](const auto &instance) {
                             return std::string(std::get<0>(instance.param).name) + "_" +
                                    std::to_string(std::get<1>(instance.param)) + "Threads";
                         });
