// blockmap and stepmap as programs: their progress output byte for byte,
// the picture they write, and what they leave behind when they fail.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <gd.h>

#include "fixture_maps.h"
#include "program_run.h"


namespace {

struct colour {
    int red, green, blue;
    bool operator==(const colour &) const = default;
};

std::ostream &operator<<(std::ostream &out, const colour &c)
{
    return out << "(" << c.red << ", " << c.green << ", " << c.blue << ")";
}

constexpr colour white{255, 255, 255};
constexpr colour black{0, 0, 0};
constexpr colour stripe_155{100, 100, 100};  // first visible stripe grey

colour colour_at(const decoded_image &image, int x, int y)
{
    int index = image.at(x, y);
    return {image.red[index], image.green[index], image.blue[index]};
}

const std::string writing_lines =
    "Creating Summary Image...\n\n\tCreating Pallet...\n\tFilling Image...\n\tWriting Image...\n\n";

struct summariser {
    const char *name;
    std::string exe;
    std::string opening;  // what is printed up to reading the map "seeds.png"
};

const summariser summarisers[] = {
    {"blockmap", BLOCKMAP_EXE, "\nClearing out Matrices and Vectors ....\nDone.\n\nReading Input Image "},
    {"stepmap", STEPMAP_EXE, "\nClearing out Matrices and Vectors ....\nDone Clearing.\n\nReading Input Image "},
};

// Every data pixel white and nothing black outside the frame: no seeds, no bars.
void expect_blank_summary(const decoded_image &out)
{
    long marked = 0;
    for (int e = 1; e < 599; ++e)
        for (int d = 1; d < 599; ++d) {
            if (d == 500 || d == 501 || e == 500 || e == 501)
                continue;
            colour c = colour_at(out, d, e);
            bool data = d < 500 && e < 500;
            marked += data ? !(c == white) : c == black;
        }
    EXPECT_EQ(marked, 0);
}

}  // namespace

TEST(BlockmapProgram, SingleSeedRun)
{
    scratch_directory dir;
    write_sparse_seed_map_file(dir / "seeds.png", {{110, 210, 1}});
    program_result run = run_program(BLOCKMAP_EXE, {"seeds.png", "ignored"}, dir.path());

    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out,
              "\nClearing out Matrices and Vectors ....\nDone.\n\n"
              "Reading Input Image seeds.png ...\nDone.\n\n"
              "Summarizing ...\n\n\tConboobulating...\n\tAveraging...\nDone.\n\n"
              "Creating Summary Image...\n\n\tCreating Pallet...\n\tFilling Image...\n\tWriting Image...\n\n"
              "Done.\n\n");
    EXPECT_EQ(run.err, "");

    decoded_image out = decode_png_file(dir / "summary.png");
    ASSERT_EQ(out.width, 600);
    ASSERT_EQ(out.height, 600);
    // Block (11, 21) is the fullest; its last cell (110, 210) holds 153.
    EXPECT_EQ(colour_at(out, 11, 21), (colour{47, 102, 47}));
    EXPECT_EQ(colour_at(out, 10, 21), white);
    EXPECT_EQ(colour_at(out, 11, 22), white);
    for (int i = 502; i <= 598; ++i) {
        EXPECT_EQ(colour_at(out, i, 21), black) << "row bar at column " << i;
        EXPECT_EQ(colour_at(out, 11, i), black) << "column bar at row " << i;
    }
    EXPECT_EQ(colour_at(out, 502, 22), stripe_155);
    EXPECT_EQ(colour_at(out, 12, 502), stripe_155);
    EXPECT_EQ(colour_at(out, 598, 22), (colour{196, 196, 196})) << "stripe 251";
    EXPECT_EQ(colour_at(out, 500, 21), black);
    EXPECT_EQ(colour_at(out, 550, 550), white);
}

TEST(BlockmapProgram, MapWithoutSeedsGivesBlankSummary)
{
    scratch_directory dir;
    write_empty_seed_map_file(dir / "seeds.png");
    program_result run = run_program(BLOCKMAP_EXE, {"seeds.png"}, dir.path());

    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out.substr(run.out.size() - 7), "Done.\n\n");
    expect_blank_summary(decode_png_file(dir / "summary.png"));
}

TEST(StepmapProgram, LargestValueTwoRun)
{
    scratch_directory dir;
    write_sparse_seed_map_file(dir / "seeds.png", {{110, 210, 1}, {120, 210, 2}});
    program_result run = run_program(STEPMAP_EXE, {"seeds.png"}, dir.path());

    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out,
              "\nClearing out Matrices and Vectors ....\nDone Clearing.\n\n"
              "Reading Input Image seeds.png ...\nDone.\n\n"
              "Summarizing ...\n\tMaximum Seed Value is 2\n\tStepping value for Pallet is 76\n\nDone.\n\n"
              "Creating Summary Image...\n\n\tCreating Pallet...\n\tFilling Image...\n\tWriting Image...\n\n"
              "Done.\n\n");
    EXPECT_EQ(run.err, "");

    decoded_image out = decode_png_file(dir / "summary.png");
    ASSERT_EQ(out.width, 600);
    ASSERT_EQ(out.height, 600);
    EXPECT_EQ(colour_at(out, 11, 21), (colour{76, 0, 78})) << "value 1, ramp entry 76";
    EXPECT_EQ(colour_at(out, 12, 21), (colour{152, 0, 2})) << "value 2, ramp entry 152";
    EXPECT_EQ(colour_at(out, 13, 21), white);
    // Row 210 holds the largest total; column 110 half of column 120's.
    EXPECT_EQ(colour_at(out, 598, 21), black);
    EXPECT_EQ(colour_at(out, 12, 598), black);
    EXPECT_EQ(colour_at(out, 11, 550), black);
    EXPECT_EQ(colour_at(out, 11, 551), (colour{149, 149, 149}));
    EXPECT_EQ(colour_at(out, 502, 22), stripe_155);
}

TEST(StepmapProgram, MapWithoutSeedsUsesLargestStep)
{
    scratch_directory dir;
    write_empty_seed_map_file(dir / "seeds.png");
    program_result run = run_program(STEPMAP_EXE, {"seeds.png"}, dir.path());

    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_NE(run.out.find("Summarizing ...\n\tMaximum Seed Value is 1\n\tStepping value for Pallet is 153\n\n"),
              std::string::npos)
        << run.out;
    expect_blank_summary(decode_png_file(dir / "summary.png"));
}

TEST(SummaryPrograms, MissingArgumentPrintsUsage)
{
    for (const summariser &s : summarisers) {
        SCOPED_TRACE(s.name);
        scratch_directory dir;
        auto before = snapshot(dir.path());
        program_result run = run_program(s.exe, {}, dir.path());
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, std::string("usage: ") + s.name + " seed-map\n");
        EXPECT_EQ(snapshot(dir.path()), before);
    }
}

TEST(SummaryPrograms, MissingMapKeepsEarlierSummary)
{
    for (const summariser &s : summarisers) {
        SCOPED_TRACE(s.name);
        scratch_directory dir;
        write_file(dir / "summary.png", "an earlier picture");
        auto before = snapshot(dir.path());
        program_result run = run_program(s.exe, {"missing.png"}, dir.path());
        EXPECT_EQ(run.exit_status, 1);
        EXPECT_EQ(run.out, s.opening + "missing.png ...\nCan't open output file missing.png\n");
        EXPECT_NE(run.err.find("missing.png"), std::string::npos) << run.err;
        EXPECT_EQ(snapshot(dir.path()), before);
    }
}

TEST(SummaryPrograms, MapThatIsNoSeedMapIsRefused)
{
    struct bad_map {
        const char *file, *reason;
        void (*write)(const std::string &);
    };
    const bad_map maps[] = {
        {"notes.png", "not a PNG", [](const std::string &path) { write_file(path, "seed counts, in words\n"); }},
        {"empty.png", "not a PNG", [](const std::string &path) { write_file(path, ""); }},
        {"photo.png", "true-colour", write_true_colour_png_file},
        {"folder.png", "cannot read", [](const std::string &path) { std::filesystem::create_directory(path); }},
    };
    for (const summariser &s : summarisers)
        for (const bad_map &map : maps) {
            SCOPED_TRACE(std::string(s.name) + " " + map.file);
            scratch_directory dir;
            map.write(dir / map.file);
            write_file(dir / "summary.png", "an earlier picture");
            auto before = snapshot(dir.path());
            program_result run = run_program(s.exe, {map.file}, dir.path());
            EXPECT_EQ(run.exit_status, 1);
            EXPECT_EQ(run.out, s.opening + map.file + " ...\n");
            EXPECT_NE(run.err.find(map.file), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(map.reason), std::string::npos) << run.err;
            EXPECT_EQ(snapshot(dir.path()), before);
        }
}

TEST(SummaryPrograms, SummaryThatCannotBeWrittenIsReported)
{
    struct blocked_output {
        const char *how;
        void (*block)(const scratch_directory &);
        long long file_size_limit;
        bool open_fails;
    };
    const blocked_output cases[] = {
        {"directory in the way",
         [](const scratch_directory &dir) { std::filesystem::create_directory(dir / "summary.png"); }, -1, true},
        {"device full",
         [](const scratch_directory &dir) { std::filesystem::create_symlink("/dev/full", dir / "summary.png"); }, -1,
         false},
        // Room for the progress lines, not for the picture (about 2.5 kB).
        {"file size limit",
         [](const scratch_directory &dir) { write_file(dir / "summary.png", "an earlier picture"); }, 1000, false},
    };
    for (const summariser &s : summarisers)
        for (const blocked_output &c : cases) {
            SCOPED_TRACE(std::string(s.name) + ": " + c.how);
            scratch_directory dir;
            write_seed_map_file(dir / "seeds.png", 60, 60, [](int x, int y) { return (x + y) % 3; });
            c.block(dir);
            auto before = snapshot(dir.path());
            program_result run = run_program(s.exe, {"seeds.png"}, dir.path(), {c.file_size_limit});
            EXPECT_EQ(run.exit_status, 1);
            EXPECT_EQ(run.signal, 0);
            std::string ending = writing_lines + (c.open_fails ? "Can't open output file summary.png\n" : "");
            ASSERT_GE(run.out.size(), ending.size()) << run.out;
            EXPECT_EQ(run.out.substr(run.out.size() - ending.size()), ending);
            EXPECT_NE(run.err.find("summary.png"), std::string::npos) << run.err;
            EXPECT_EQ(snapshot(dir.path()), before);
        }
}
