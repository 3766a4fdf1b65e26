// What every program does with its command line: help and version on
// standard output, refusals with the usage on standard error, -q, -o and
// --legend, and progress that reaches a pipe line by line.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <ostream>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "fixture_maps.h"
#include "legend.h"
#include "program_run.h"
#include "summary_image.h"

using namespace seedbank::summarize;

namespace {

// ---------------------------------------------------------------- every program

struct program_case {
    std::string name;
    std::string exe;
    std::vector<std::string> enough_arguments;  // a complete command line after the options
    std::string usage_start;                    // first line of the usage after a mistake
};

void PrintTo(const program_case &c, std::ostream *out)
{
    *out << c.name;
}

class EveryProgram : public ::testing::TestWithParam<program_case> {};

TEST_P(EveryProgram, HelpGoesToStandardOutputWithStatusZero)
{
    const program_case &c = GetParam();
    for (const char *word : {"-h", "--help"}) {
        scratch_directory dir;
        std::vector<std::string> arguments = {word};
        arguments.insert(arguments.end(), c.enough_arguments.begin(), c.enough_arguments.end());
        const program_result run = run_program(c.exe, arguments, dir.path());
        EXPECT_EQ(run.exit_status, 0) << word;
        EXPECT_EQ(run.err, "") << word;
        EXPECT_EQ(run.out.rfind("usage: " + c.name + " [options] ", 0), 0u) << run.out;
        for (const char *part : {"\nOptions:\n", "--help", "--version", "\nExit status:\n  0  "})
            EXPECT_NE(run.out.find(part), std::string::npos) << part << " missing from\n" << run.out;
        EXPECT_TRUE(snapshot(dir.path()).empty()) << "help writes nothing";
    }
}

TEST_P(EveryProgram, VersionIsTheProjectVersion)
{
    scratch_directory dir;
    const program_result run = run_program(GetParam().exe, {"--version"}, dir.path());
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, GetParam().name + " (seedbank) " + PROJECT_VERSION + "\n");
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(snapshot(dir.path()).empty());
}

TEST_P(EveryProgram, MissingArgumentsGiveTheUsageAsBefore)
{
    scratch_directory dir;
    const program_result run = run_program(GetParam().exe, {}, dir.path());
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(GetParam().usage_start, 0), 0u) << run.err;
}

TEST_P(EveryProgram, UnknownLongOptionIsRefusedWithTheUsage)
{
    const program_case &c = GetParam();
    scratch_directory dir;
    const program_result usage = run_program(c.exe, {}, dir.path());
    std::vector<std::string> arguments = {"--bogus"};
    arguments.insert(arguments.end(), c.enough_arguments.begin(), c.enough_arguments.end());
    const program_result run = run_program(c.exe, arguments, dir.path());
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, c.name + ": unknown option '--bogus'\n" + usage.err);
    EXPECT_TRUE(snapshot(dir.path()).empty()) << "nothing written";
}

INSTANTIATE_TEST_SUITE_P(
    Programs, EveryProgram,
    ::testing::Values(program_case{"winter", WINTER_EXE, {"1", "2"}, "usage: winter input-label output-label\n"},
                      program_case{"generate", GENERATE_EXE, {"5"}, "usage: generate density\n"},
                      program_case{"blockmap", BLOCKMAP_EXE, {"map.png"}, "usage: blockmap seed-map\n"},
                      program_case{"stepmap", STEPMAP_EXE, {"map.png"}, "usage: stepmap seed-map\n"},
                      program_case{"mkmap", MKMAP_EXE, {"map.png", "1", "1", "empty"},
                                   "usage: mkmap FILE WIDTH HEIGHT PATTERN\n"}),
    [](const ::testing::TestParamInfo<program_case> &param_info) { return param_info.param.name; });

// ---------------------------------------------------------------- -q

void write_year_one(const scratch_directory &dir)
{
    int cohort = 0;
    for (const char *name : {"Dorm5_Yr1.png", "Dorm4_Yr1.png", "Dorm3_Yr1.png", "Dorm2_Yr1.png", "Dorm1_Yr1.png",
                             "Seeds_Yr1.png"}) {
        ++cohort;
        write_seed_map_file(dir / name, 40, 30, [cohort](int x, int y) { return (x * 7 + y * 3 + cohort) % 9; });
    }
}

TEST(QuietOption, WinterPrintsNothingAndWritesTheSameYear)
{
    scratch_directory loud, quiet;
    write_year_one(loud);
    write_year_one(quiet);
    const program_result plain = run_program(WINTER_EXE, {"1", "2"}, loud.path());
    const program_result silent = run_program(WINTER_EXE, {"-q", "1", "2"}, quiet.path());
    ASSERT_EQ(plain.exit_status, 0) << plain.err;
    EXPECT_NE(plain.out, "");
    EXPECT_EQ(silent.exit_status, 0) << silent.err;
    EXPECT_EQ(silent.out, "");
    EXPECT_EQ(silent.err, "");
    EXPECT_EQ(snapshot(quiet.path()), snapshot(loud.path()));
}

TEST(QuietOption, GeneratePrintsNoBanner)
{
    scratch_directory dir;
    const program_result run = run_program(GENERATE_EXE, {"--quiet", "2"}, dir.path());
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(lines_of(read_file(dir / "den_2.dat")).size(), 3u);
}

// "Can't open output file NAME" reports a failure, so -q keeps it, on
// standard output where it always was, with the reason on standard error.
TEST(QuietOption, KeepsTheOpenFailureMessage)
{
    scratch_directory dir;
    const program_result winter = run_program(WINTER_EXE, {"-q", "1", "2"}, dir.path());
    EXPECT_EQ(winter.exit_status, 1);
    EXPECT_EQ(winter.out, "Can't open output file Dorm5_Yr1.png\n");
    EXPECT_NE(winter.err.find("Dorm5_Yr1.png"), std::string::npos) << winter.err;

    const program_result stepmap = run_program(STEPMAP_EXE, {"-q", "missing.png"}, dir.path());
    EXPECT_EQ(stepmap.exit_status, 1);
    EXPECT_EQ(stepmap.out, "Can't open output file missing.png\n");

    std::filesystem::create_directory(dir / "den_3.dat");
    const program_result generate = run_program(GENERATE_EXE, {"-q", "3"}, dir.path());
    EXPECT_EQ(generate.exit_status, 1);
    EXPECT_EQ(generate.out, "Can't open output file den_3.dat\n");
}

// ---------------------------------------------------------------- blockmap and stepmap

struct summariser_case {
    std::string name;
    std::string exe;
    colour_ramp ramp;
};

void PrintTo(const summariser_case &c, std::ostream *out)
{
    *out << c.name;
}

class SummaryOptions : public ::testing::TestWithParam<summariser_case> {
protected:
    void SetUp() override
    {
        write_sparse_seed_map_file(plain_dir / "seeds.png", {{110, 210, 1}, {120, 210, 2}, {2500, 4000, 7}});
        plain = run_program(GetParam().exe, {"seeds.png"}, plain_dir.path());
        ASSERT_EQ(plain.exit_status, 0) << plain.err;
        plain_picture = read_file(plain_dir / "summary.png");
    }

    scratch_directory plain_dir;
    program_result plain;
    std::string plain_picture;
};

TEST_P(SummaryOptions, OutputOptionNamesThePicture)
{
    for (const std::vector<std::string> &words :
         {std::vector<std::string>{"-o", "pictures/a.png", "seeds.png"}, {"seeds.png", "--output=pictures/a.png"}}) {
        scratch_directory dir;
        std::filesystem::create_directory(dir / "pictures");
        std::filesystem::copy_file(plain_dir / "seeds.png", dir / "seeds.png");
        const program_result run = run_program(GetParam().exe, words, dir.path());
        EXPECT_EQ(run.exit_status, 0) << run.err;
        EXPECT_EQ(run.out, plain.out);
        EXPECT_TRUE(read_file(dir / "pictures/a.png") == plain_picture) << "same bytes as summary.png";
        EXPECT_FALSE(file_exists(dir / "summary.png"));
    }
}

TEST_P(SummaryOptions, QuietPrintsNothingAndWritesTheSamePicture)
{
    const program_result run = run_program(GetParam().exe, {"-q", "seeds.png", "-o", "quiet.png"}, plain_dir.path());
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(read_file(plain_dir / "quiet.png") == plain_picture);
}

struct pixel_colour {
    int red, green, blue;
    bool operator==(const pixel_colour &) const = default;
};

std::ostream &operator<<(std::ostream &out, const pixel_colour &c)
{
    return out << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

pixel_colour colour_at(const decoded_image &image, int x, int y)
{
    const int index = image.at(x, y);
    return {image.red[index], image.green[index], image.blue[index]};
}

TEST_P(SummaryOptions, LegendKeepsThePictureOnTopPixelForPixel)
{
    const program_result run = run_program(GetParam().exe, {"--legend", "-o", "legend.png", "seeds.png"},
                                           plain_dir.path());
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out, plain.out);
    const decoded_image picture = decode_png_file(plain_dir / "summary.png");
    const decoded_image legend = decode_png_file(plain_dir / "legend.png");
    ASSERT_FALSE(legend.true_colour);
    ASSERT_EQ(legend.width, summary_side);
    ASSERT_EQ(legend.height, summary_side + seedbank::summarize::legend_height);
    long differing = 0;
    for (int y = 0; y < summary_side; ++y)
        for (int x = 0; x < summary_side; ++x)
            differing += legend.at(x, y) != picture.at(x, y) || !(colour_at(legend, x, y) == colour_at(picture, x, y));
    EXPECT_EQ(differing, 0) << "pixels of the top 600 x 600 that differ from the plain picture";
}

TEST_P(SummaryOptions, LegendStripHoldsTheRampInOrder)
{
    ASSERT_EQ(run_program(GetParam().exe, {"--legend", "seeds.png"}, plain_dir.path()).exit_status, 0);
    const decoded_image legend = decode_png_file(plain_dir / "summary.png");
    using namespace seedbank::summarize;
    for (int row = legend_bar_top; row < legend_bar_top + legend_bar_rows; ++row)
        for (int entry = 0; entry <= ramp_entries; ++entry) {
            const rgb ramp = entry == 0 ? rgb{255, 255, 255} : ramp_colour(GetParam().ramp, entry);
            const pixel_colour expected{ramp.red, ramp.green, ramp.blue};
            for (int i = 0; i < legend_entry_width; ++i)
                ASSERT_EQ(colour_at(legend, legend_bar_left + legend_entry_width * entry + i, row), expected)
                    << "entry " << entry << ", row " << row;
        }
}

TEST_P(SummaryOptions, LegendNamesTheMap)
{
    // The same map under two names: the strips differ, and only in the line
    // that names the map.
    std::filesystem::copy_file(plain_dir / "seeds.png", plain_dir / "other.png");
    ASSERT_EQ(run_program(GetParam().exe, {"--legend", "-o", "a.png", "seeds.png"}, plain_dir.path()).exit_status, 0);
    ASSERT_EQ(run_program(GetParam().exe, {"--legend", "-o", "b.png", "other.png"}, plain_dir.path()).exit_status, 0);
    const decoded_image a = decode_png_file(plain_dir / "a.png");
    const decoded_image b = decode_png_file(plain_dir / "b.png");
    int first_row = -1, last_row = -1;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x)
            if (!(colour_at(a, x, y) == colour_at(b, x, y))) {
                if (first_row < 0)
                    first_row = y;
                last_row = y;
            }
    EXPECT_GE(first_row, summary_side) << "the picture itself does not depend on the name";
    EXPECT_LT(last_row, summary_side + 17) << "only the first line of the strip names the map";
}

INSTANTIATE_TEST_SUITE_P(Summarisers, SummaryOptions,
                         ::testing::Values(summariser_case{"blockmap", BLOCKMAP_EXE, colour_ramp::green},
                                           summariser_case{"stepmap", STEPMAP_EXE, colour_ramp::red_blue}),
                         [](const ::testing::TestParamInfo<summariser_case> &param_info) { return param_info.param.name; });

// ---------------------------------------------------------------- progress in a pipe

// Reads from `descriptor` until `text` has arrived (never, when empty) or
// the writer is gone.
std::string read_until(int descriptor, const std::string &text)
{
    std::string got;
    char buffer[4096];
    while (text.empty() || got.find(text) == std::string::npos) {
        pollfd ready = {descriptor, POLLIN, 0};
        // A hang guard, not a measurement: a block-buffered program never
        // sends the line while it waits for its map, and the test fails.
        if (poll(&ready, 1, 60000) <= 0)
            break;
        const ssize_t n = read(descriptor, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

// stepmap reads its map from a named pipe that the test holds open and
// feeds only after the progress printed before the reading has arrived
// through the pipe on standard output: so each line is passed on when it is
// printed, not when the program ends.
TEST(ProgressInAPipe, EachLineArrivesWhenItIsPrinted)
{
    scratch_directory dir;
    write_sparse_seed_map_file(dir / "source.png", {{10, 10, 3}});
    const std::string map_bytes = read_file(dir / "source.png");
    ASSERT_EQ(mkfifo((dir / "map.fifo").c_str(), 0600), 0);
    // Read and write ends both held here: the program's read waits for data.
    const int map_pipe = open((dir / "map.fifo").c_str(), O_RDWR);
    ASSERT_GE(map_pipe, 0);
    int progress[2];
    ASSERT_EQ(pipe(progress), 0);

    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(progress[0]);
        close(map_pipe);
        dup2(progress[1], STDOUT_FILENO);
        if (chdir(dir.path().c_str()) != 0)
            _exit(127);
        execl(STEPMAP_EXE, STEPMAP_EXE, "map.fifo", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(progress[1]);

    const std::string opening = read_until(progress[0], "Reading Input Image map.fifo ...\n");
    int status = 0;
    const bool still_running = waitpid(child, &status, WNOHANG) == 0;
    EXPECT_TRUE(still_running) << "the program ended before its map was sent";
    EXPECT_EQ(opening,
              "\nClearing out Matrices and Vectors ....\nDone Clearing.\n\nReading Input Image map.fifo ...\n");

    std::signal(SIGPIPE, SIG_IGN);
    ASSERT_EQ(write(map_pipe, map_bytes.data(), map_bytes.size()), static_cast<ssize_t>(map_bytes.size()));
    // The pipe's data vanishes with its last open end, so this end stays
    // open until the program has taken every byte; closing it then ends the
    // program's read.
    for (int waited = 0; waited < 60000; ++waited) {
        int unread = 0;
        if (ioctl(map_pipe, FIONREAD, &unread) != 0 || unread == 0)
            break;
        usleep(1000);
    }
    close(map_pipe);
    const std::string rest = read_until(progress[0], "");
    close(progress[0]);
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(rest.rfind("Done.\n\nSummarizing ...\n", 0), 0u) << rest;
    EXPECT_EQ(rest.substr(rest.size() - 25), "Writing Image...\n\nDone.\n\n") << rest;
}

}  // namespace
