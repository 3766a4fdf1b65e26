// winter's scenario options through the built program: the defaults spelled
// out change no byte, the seed chooses the stream, bad options are refused
// before anything is read or written, and the stats agree with the outputs.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "beta.h"
#include "distrib.h"
#include "expected_schedule.h"
#include "fixture_maps.h"
#include "program_run.h"
#include "random.h"

namespace fs = std::filesystem;
using namespace seedbank;
using namespace seedbank::distribute;

namespace {

const char *const input_prefixes[6] = {"Dorm5_Yr", "Dorm4_Yr", "Dorm3_Yr", "Dorm2_Yr", "Dorm1_Yr", "Seeds_Yr"};
const char *const output_names[6] = {"Dorm1_Yr2.png", "Dorm2_Yr2.png", "Dorm3_Yr2.png",
                                     "Dorm4_Yr2.png", "Dorm5_Yr2.png", "Seeds_Yr2.dat"};

// Six small maps of year 1 with seeds in every cohort; cell (3, 3) is full
// in every map, so its seedlings saturate the grid.
void write_year_one(const std::string &directory)
{
    fs::create_directories(directory);
    for (int k = 0; k < 6; ++k)
        write_seed_map_file(directory + "/" + input_prefixes[k] + "1.png", 40, 30, [k](int x, int y) {
            if (x == 3 && y == 3)
                return 255;
            return (x * 7 + y * 13 + k * 5) % 11 == 0 ? (x + y + k) % 40 : 0;
        });
}

std::map<std::string, std::string> outputs_in(const std::string &directory)
{
    std::map<std::string, std::string> files;
    for (const char *name : output_names)
        files[name] = read_file(directory + "/" + name);
    return files;
}

struct baseline_run {
    scratch_directory dir;
    program_result run;
    std::map<std::string, std::string> files;
};

// The year with no option at all, run once per test process.
const baseline_run &baseline()
{
    static const std::unique_ptr<baseline_run> once = [] {
        auto run = std::make_unique<baseline_run>();
        write_year_one(run->dir.path());
        run->run = run_program(WINTER_EXE, {"1", "2"}, run->dir.path());
        run->files = outputs_in(run->dir.path());
        return run;
    }();
    return *once;
}

// --- The defaults spelled out: the same bytes, on every stream. ---

struct same_year_case {
    const char *name;
    std::vector<std::string> arguments;
};

void PrintTo(const same_year_case &c, std::ostream *out)
{
    *out << c.name;
}

class WinterDefaultsSpelledOut : public testing::TestWithParam<same_year_case> {};

TEST_P(WinterDefaultsSpelledOut, GiveTheSameYearByteForByte)
{
    const baseline_run &expected = baseline();
    ASSERT_EQ(expected.run.exit_status, 0) << expected.run.err;
    scratch_directory dir;
    write_year_one(dir.path());
    const program_result run = run_program(WINTER_EXE, GetParam().arguments, dir.path());
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, expected.run.out);
    EXPECT_TRUE(outputs_in(dir.path()) == expected.files);
}

INSTANTIATE_TEST_SUITE_P(
    Options, WinterDefaultsSpelledOut,
    testing::Values(same_year_case{"seed_911", {"--seed", "911", "1", "2"}},
                    same_year_case{"seed_911_with_equals_after_labels", {"1", "2", "--seed=911"}},
                    same_year_case{"default_schedule_file", {"--schedule", DEFAULT_SCHEDULE_FILE, "1", "2"}},
                    same_year_case{"output_to_the_current_directory", {"1", "--output-dir=.", "2"}},
                    same_year_case{"all_defaults", {"--seed", "911", "--schedule", DEFAULT_SCHEDULE_FILE, "1", "2",
                                                    "ignored", "words"}}),
    [](const testing::TestParamInfo<same_year_case> &instance) { return std::string(instance.param.name); });

TEST(WinterDirectories, ReadAndWriteTheSameYearElsewhere)
{
    const baseline_run &expected = baseline();
    scratch_directory dir;
    write_year_one(dir / "in");
    fs::create_directory(dir / "out");
    const program_result run =
        run_program(WINTER_EXE, {"--input-dir", "in", "--output-dir", "out/", "1", "2"}, dir.path());
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_TRUE(outputs_in(dir / "out") == expected.files);
    // The progress names the maps where they were read.
    std::string out = expected.run.out;
    for (const char *prefix : input_prefixes) {
        const std::string name = std::string(prefix) + "1.png";
        out.replace(out.find(" " + name), name.size() + 1, " in/" + name);
    }
    EXPECT_EQ(run.out, out);
    const auto files = snapshot(dir.path());
    EXPECT_EQ(files.size(), 2u + 6 + 6) << "in/, out/, six maps read, six files written, nothing else";
}

// --- The seed: the stream of the run starts from seed word -N. ---

// The fresh cohort's single cell of 40 seeds in a year with seed N, drawn
// here in-process: what the list and the recruits must show.
int expected_fresh_germinations(int32_t seed)
{
    restart_random_module();
    start_beta_stream(-seed);
    const float pred = std::bit_cast<float>(expected_cohorts[5].pred);
    const float d_prob = std::bit_cast<float>(expected_cohorts[5].d_prob);
    int survivors = 0;
    for (int s = 0; s < 40; ++s)
        survivors += seed_survives(ibeta(1, 1), pred) ? 1 : 0;
    int germinations = 0;
    for (int s = 0; s < survivors; ++s)
        germinations += seed_stays_dormant(ibeta(1, 1), d_prob) ? 0 : 1;
    return germinations;
}

TEST(WinterSeed, StartsTheStreamFromMinusTheSeed)
{
    std::vector<int> germinations;
    for (int32_t seed : {911, 1, 12345, 2147483646}) {
        SCOPED_TRACE(seed);
        scratch_directory dir;
        for (int k = 0; k < 5; ++k)
            write_seed_map_file(dir / (std::string(input_prefixes[k]) + "1.png"), 1, 1, [](int, int) { return 0; });
        write_seed_map_file(dir / "Seeds_Yr1.png", 10, 10, [](int x, int y) { return x == 7 && y == 9 ? 40 : 0; });
        const program_result run = run_program(WINTER_EXE, {"--seed", std::to_string(seed), "1", "2"}, dir.path());
        ASSERT_EQ(run.exit_status, 0) << run.err;
        const int expected = expected_fresh_germinations(seed);
        germinations.push_back(expected);
        EXPECT_NE(run.out.find("\t\t" + std::to_string(expected) + " Seeds recruited from Seeds_Yr1.png."),
                  std::string::npos);
        const std::string list = read_file(dir / "Seeds_Yr2.dat");
        EXPECT_EQ(list, expected == 0 ? "100   100\n" : [&] {
            std::string lines;
            for (int i = 0; i < expected; ++i)
                lines += "  7     9\n";
            return lines;
        }());
    }
    EXPECT_NE(std::count(germinations.begin(), germinations.end(), germinations[0]),
              static_cast<long>(germinations.size()))
        << "all seeds gave the same year";
}

TEST(WinterSeed, DifferentSeedsGiveDifferentYears)
{
    scratch_directory dir;
    write_year_one(dir.path());
    const program_result run = run_program(WINTER_EXE, {"--seed", "912", "1", "2"}, dir.path());
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_NE(run.out, baseline().run.out);
    EXPECT_NE(read_file(dir / "Seeds_Yr2.dat"), baseline().files.at("Seeds_Yr2.dat"));
    EXPECT_NE(read_file(dir / "Dorm1_Yr2.png"), baseline().files.at("Dorm1_Yr2.png"));
}

// --- Refusals: before anything is read or written. ---

struct refusal_case {
    const char *name;
    std::vector<std::string> arguments;
    std::string message;  // standard error's first line
};

void PrintTo(const refusal_case &c, std::ostream *out)
{
    *out << c.name;
}

class WinterRefusesOptions : public testing::TestWithParam<refusal_case> {};

TEST_P(WinterRefusesOptions, BeforeAnythingIsReadOrWritten)
{
    scratch_directory dir;
    write_year_one(dir.path());
    write_file(dir / "bad.tsv", "cohort\td_prob\tpred\ndorm5\t0.48\t0.8\ndorm4\t1.5\t0.7\n");
    write_file(dir / "a_file", "");
    const auto before = snapshot(dir.path());
    const program_result run = run_program(WINTER_EXE, GetParam().arguments, dir.path());
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(lines_of(run.err).at(0), GetParam().message);
    EXPECT_TRUE(snapshot(dir.path()) == before) << "the run created or changed a file";
}

INSTANTIATE_TEST_SUITE_P(
    Options, WinterRefusesOptions,
    testing::Values(
        refusal_case{"seed_zero", {"--seed", "0", "1", "2"},
                     "winter: --seed needs a whole number from 1 to 2147483646, not '0'"},
        refusal_case{"seed_negative", {"--seed=-5", "1", "2"},
                     "winter: --seed needs a whole number from 1 to 2147483646, not '-5'"},
        refusal_case{"seed_beyond_the_generator", {"--seed", "2147483647", "1", "2"},
                     "winter: --seed needs a whole number from 1 to 2147483646, not '2147483647'"},
        refusal_case{"seed_text", {"--seed", "12x", "1", "2"},
                     "winter: --seed needs a whole number from 1 to 2147483646, not '12x'"},
        refusal_case{"seed_without_value", {"1", "2", "--seed"}, "winter: option '--seed' needs a value"},
        refusal_case{"empty_stats_name", {"--stats=", "1", "2"}, "winter: --stats needs a non-empty value"},
        refusal_case{"bad_schedule", {"--schedule", "bad.tsv", "1", "2"},
                     "winter: bad.tsv:3: d_prob: '1.5' lies outside [0, 1]"},
        refusal_case{"missing_schedule", {"--schedule", "none.tsv", "1", "2"},
                     "winter: none.tsv: No such file or directory"},
        refusal_case{"missing_output_directory", {"--output-dir", "no/such", "1", "2"},
                     "winter: output directory no/such: No such file or directory"},
        refusal_case{"output_directory_is_a_file", {"--output-dir", "a_file", "1", "2"},
                     "winter: output directory a_file: not a directory"},
        refusal_case{"missing_input_directory", {"--input-dir", "nowhere", "1", "2"},
                     "winter: input directory nowhere: No such file or directory"}),
    [](const testing::TestParamInfo<refusal_case> &instance) { return std::string(instance.param.name); });

TEST(WinterStats, AFailedYearLeavesNoStatsAndNoOutput)
{
    scratch_directory dir;
    write_year_one(dir.path());
    fs::remove(dir / "Dorm1_Yr1.png");
    const auto before = snapshot(dir.path());
    const program_result run = run_program(WINTER_EXE, {"--stats", "year.csv", "1", "2"}, dir.path());
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.out.find("Can't open output file Dorm1_Yr1.png\n"), std::string::npos);
    EXPECT_TRUE(snapshot(dir.path()) == before);

    const program_result unwritable = run_program(WINTER_EXE, {"--stats", "no/dir/year.csv", "1", "2"}, dir.path());
    EXPECT_EQ(unwritable.exit_status, 1);
    EXPECT_EQ(unwritable.out, "Can't open output file no/dir/year.csv\n");
    EXPECT_TRUE(snapshot(dir.path()) == before);
}

// --- Stats against the maps and the list. ---

using csv_row = std::map<std::string, std::string>;

std::vector<std::string> split_commas(const std::string &line)
{
    std::vector<std::string> fields;
    std::stringstream stream(line);
    std::string field;
    while (std::getline(stream, field, ','))
        fields.push_back(field);
    if (!line.empty() && line.back() == ',')
        fields.push_back("");
    return fields;
}

std::vector<csv_row> read_stats(const std::string &path)
{
    const std::vector<std::string> lines = lines_of(read_file(path));
    const std::vector<std::string> header = split_commas(lines.at(0));
    std::vector<csv_row> rows;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> fields = split_commas(lines[i]);
        EXPECT_EQ(fields.size(), header.size()) << lines[i];
        csv_row row;
        for (std::size_t c = 0; c < header.size() && c < fields.size(); ++c)
            row[header[c]] = fields[c];
        rows.push_back(row);
    }
    return rows;
}

long long number(const csv_row &row, const std::string &column)
{
    return std::stoll(row.at(column));
}

long long map_sum(const std::string &path)
{
    const decoded_image map = decode_png_file(path);
    long long sum = 0;
    for (int y = 1; y < map.height; ++y)
        for (int x = 1; x < map.width; ++x)
            sum += map.at(x, y);
    return sum;
}

TEST(WinterStats, AgreeWithTheMapsReadAndWrittenAndTheList)
{
    scratch_directory dir;
    write_year_one(dir / "in");
    fs::create_directory(dir / "out");
    write_file(dir / "s.tsv", "cohort\td_prob\tpred\ndorm5\t0.5\t0.5\ndorm4\t0.5\t0.5\ndorm3\t0.5\t0.5\n"
                              "dorm2\t0.5\t0.5\ndorm1\t0.25\t0.125\nfresh\t0.75\t0.1\n");
    const program_result run = run_program(
        WINTER_EXE, {"--input-dir", "in", "--output-dir", "out", "--seed", "42", "--schedule", "s.tsv", "--stats",
                     "out/year,2.csv", "1", "2"},
        dir.path());
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(lines_of(read_file(dir / "out/year,2.csv")).at(0),
              "input_label,output_label,seed,schedule,cohort,d_prob,pred,seeds_read,lost_to_predation,"
              "germinated,dormant,carried_over,seedlings_kept");
    const std::vector<csv_row> rows = read_stats(dir / "out/year,2.csv");
    ASSERT_EQ(rows.size(), 7u);

    const char *const names[7] = {"dorm5", "dorm4", "dorm3", "dorm2", "dorm1", "fresh", "all"};
    const char *const written[6] = {nullptr, "Dorm5_Yr2.png", "Dorm4_Yr2.png", "Dorm3_Yr2.png", "Dorm2_Yr2.png",
                                    "Dorm1_Yr2.png"};
    const std::vector<std::string> list = lines_of(read_file(dir / "out/Seeds_Yr2.dat"));
    long long kept = 0, read = 0, germinated = 0;
    for (int k = 0; k < 7; ++k) {
        const csv_row &row = rows[static_cast<std::size_t>(k)];
        SCOPED_TRACE(names[k]);
        EXPECT_EQ(row.at("cohort"), names[k]);
        EXPECT_EQ(row.at("input_label"), "1");
        EXPECT_EQ(row.at("output_label"), "2");
        EXPECT_EQ(row.at("seed"), "42");
        EXPECT_EQ(row.at("schedule"), "s.tsv");
        EXPECT_EQ(number(row, "seeds_read"),
                  number(row, "lost_to_predation") + number(row, "germinated") + number(row, "dormant"));
        if (k == 6)
            break;
        EXPECT_EQ(number(row, "seeds_read"), map_sum(dir / ("in/" + std::string(input_prefixes[k]) + "1.png")));
        EXPECT_EQ(number(row, "carried_over"), written[k] ? map_sum(dir / ("out/" + std::string(written[k]))) : 0);
        EXPECT_EQ(number(row, "carried_over"), written[k] ? number(row, "dormant") : 0);
        const std::string recruited = "\t\t" + row.at("germinated") + " Seeds recruited from in/" +
                                      input_prefixes[k] + "1.png.";
        EXPECT_NE(run.out.find(recruited), std::string::npos) << recruited;
        EXPECT_LE(number(row, "seedlings_kept"), number(row, "germinated"));
        kept += number(row, "seedlings_kept");
        read += number(row, "seeds_read");
        germinated += number(row, "germinated");
    }
    EXPECT_EQ(rows[0].at("d_prob"), "0.5");
    EXPECT_EQ(rows[4].at("d_prob"), "0.25");
    EXPECT_EQ(rows[4].at("pred"), "0.125");
    EXPECT_EQ(rows[5].at("pred"), "0.100000001");  // 0.1f, to nine digits
    EXPECT_EQ(rows[6].at("d_prob"), "");
    EXPECT_EQ(number(rows[6], "seeds_read"), read);
    EXPECT_EQ(number(rows[6], "germinated"), germinated);
    // The saturated cell (3, 3) drops germinations: kept < germinated.
    EXPECT_LT(kept, germinated);
    EXPECT_EQ(kept, static_cast<long long>(list.size()));
    EXPECT_EQ(number(rows[6], "seedlings_kept"), static_cast<long long>(list.size()));
    EXPECT_EQ(std::count(list.begin(), list.end(), "  3     3"), 255);
}

TEST(WinterStats, AYearWithoutGerminationListsTheFloorSeedling)
{
    scratch_directory dir;
    for (const char *prefix : input_prefixes)
        write_seed_map_file(dir / (std::string(prefix) + "a,\"b\".png"), 1, 1, [](int, int) { return 0; });
    const program_result run = run_program(WINTER_EXE, {"--stats", "s.csv", "a,\"b\"", "c"}, dir.path());
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const std::vector<std::string> lines = lines_of(read_file(dir / "s.csv"));
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[1], "\"a,\"\"b\"\"\",c,911,built-in,dorm5,0.479999989,0.800000012,0,0,0,0,0,0");
    EXPECT_EQ(lines[7], "\"a,\"\"b\"\"\",c,911,built-in,all,,,0,0,0,0,0,1");
    EXPECT_EQ(read_file(dir / "Seeds_Yrc.dat"), "100   100\n");
}

}  // namespace
