// A year that is killed at any moment either happened entirely or not at
// all.  `winter 7 7` (the same label in and out, so the year's outputs
// replace its inputs) is killed with SIGKILL at every step of its commit,
// from outside, by strace's fault injection, and at several moments of a
// real run.  After each kill the directory holds either the old year or the
// whole new one; the next run leaves no stray file, and rerunning a year
// that did not happen gives the uninterrupted year byte for byte.
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "program_run.h"

namespace fs = std::filesystem;

namespace {

const fs::path year_case = fs::path(GOLDEN_CASES_DIR) / "winter_small_same_label";

using directory_state = std::map<std::string, std::string>;

directory_state stored(const fs::path &directory)
{
    return fs::exists(directory) ? snapshot(directory.string()) : directory_state{};
}

// The directory before the year: its six maps.  After it: the six maps with
// the five dormant maps replaced, and the seedling list.
const directory_state &old_year()
{
    static const directory_state state = stored(year_case / "input");
    return state;
}

const directory_state &new_year()
{
    static const directory_state state = [] {
        directory_state whole = old_year();
        for (const auto &[name, content] : stored(year_case / "output"))
            whole[name] = content;
        return whole;
    }();
    return state;
}

void copy_old_year(const scratch_directory &dir)
{
    fs::copy(year_case / "input", dir.path(), fs::copy_options::recursive);
}

std::vector<std::string> stray_files(const std::string &directory)
{
    std::vector<std::string> strays;
    for (const auto &[name, content] : snapshot(directory))
        if (name.rfind(".seedbank", 0) == 0)
            strays.push_back(name);
    return strays;
}

// What a killed year must have left, once the next program that writes
// into the directory has rolled back a commit cut short: the old year or
// the whole new one, and nothing else; and what the next runs put right.
void expect_all_or_nothing(const scratch_directory &dir)
{
    program_result summary = run_program(BLOCKMAP_EXE, {"Dorm1_Yr7.png"}, dir.path());
    EXPECT_EQ(summary.exit_status, 0) << summary.err;
    fs::remove(dir / "summary.png");
    const directory_state after_recovery = stored(dir.path());
    const bool untouched = after_recovery == old_year();
    const bool whole = after_recovery == new_year();
    ASSERT_TRUE(untouched || whole) << "the year is neither undone nor whole";

    if (untouched) {
        // The year did not happen: rerunning it is right and gives the year.
        program_result rerun = run_program(WINTER_EXE, {"7", "7"}, dir.path());
        EXPECT_EQ(rerun.exit_status, 0) << rerun.err;
        EXPECT_EQ(rerun.out, read_file((year_case / "stdout").string()));
    }
    EXPECT_TRUE(stored(dir.path()) == new_year()) << "the year after the next run differs from an uninterrupted year";
    EXPECT_EQ(stray_files(dir.path()), std::vector<std::string>{});
}

struct injected_syscall {
    const char *name;
};

void PrintTo(const injected_syscall &c, std::ostream *out)
{
    *out << c.name;
}

// How often an uninterrupted year makes the system call `name`.
int calls_in_a_year(const std::string &name)
{
    scratch_directory dir;
    copy_old_year(dir);
    program_result traced = run_program(STRACE_EXE, {"-f", "-qq", "-o", dir / "trace", "-e", "trace=" + name,
                                                     WINTER_EXE, "7", "7"},
                                        dir.path());
    EXPECT_EQ(traced.exit_status, 0) << traced.err;
    int calls = 0;
    for (const std::string &line : lines_of(read_file(dir / "trace")))
        if (line.find(name + "(") != std::string::npos)
            ++calls;
    return calls;
}

class CommitKilled : public ::testing::TestWithParam<injected_syscall> {};

// Every call of the kind, from the first to the last, is a moment the kill
// can strike; the commit's steps are all among them.
TEST_P(CommitKilled, AtEveryCallTheYearIsUndoneOrWhole)
{
    const std::string name = GetParam().name;
    const int calls = calls_in_a_year(name);
    ASSERT_GT(calls, 0);
    for (int when = 1; when <= calls; ++when) {
        SCOPED_TRACE("killed at " + name + " call " + std::to_string(when) + " of " + std::to_string(calls));
        scratch_directory dir;
        copy_old_year(dir);
        program_result killed = run_program(
            STRACE_EXE,
            {"-f", "-qq", "-o", "/dev/null", "-e", "trace=" + name,
             "-e", "inject=" + name + ":signal=KILL:when=" + std::to_string(when), WINTER_EXE, "7", "7"},
            dir.path());
        EXPECT_NE(killed.exit_status, 0);
        expect_all_or_nothing(dir);
    }
}

INSTANTIATE_TEST_SUITE_P(Steps, CommitKilled,
                         ::testing::Values(injected_syscall{"link"}, injected_syscall{"rename"},
                                           injected_syscall{"unlink"}, injected_syscall{"fsync"}),
                         [](const ::testing::TestParamInfo<injected_syscall> &case_info) {
                             return std::string(case_info.param.name);
                         });

// Starts winter 7 7 in `dir` and kills it with SIGKILL after `delay`.
void kill_year_after(const scratch_directory &dir, std::chrono::microseconds delay)
{
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int null_device = open("/dev/null", O_RDWR);
        if (null_device < 0 || chdir(dir.path().c_str()) != 0)
            _exit(127);
        dup2(null_device, 1);
        dup2(null_device, 2);
        execl(WINTER_EXE, WINTER_EXE, "7", "7", static_cast<char *>(nullptr));
        _exit(127);
    }
    std::this_thread::sleep_for(delay);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
}

TEST(YearKilled, AtSeveralMomentsOfARealRunTheYearIsUndoneOrWhole)
{
    scratch_directory timing;
    copy_old_year(timing);
    const auto start = std::chrono::steady_clock::now();
    program_result whole = run_program(WINTER_EXE, {"7", "7"}, timing.path());
    ASSERT_EQ(whole.exit_status, 0);
    const auto duration =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);

    for (int percent : {5, 25, 50, 75, 90, 97, 99, 100, 103}) {
        SCOPED_TRACE("killed after " + std::to_string(percent) + " % of a year's time");
        scratch_directory dir;
        copy_old_year(dir);
        kill_year_after(dir, duration * percent / 100);
        expect_all_or_nothing(dir);
    }
}

// A commit record left by a killed run is rolled back by the next program
// writing into the directory, which says so in one line.
TEST(YearKilled, TheRollBackIsReportedOnStandardError)
{
    scratch_directory dir;
    copy_old_year(dir);
    run_program(STRACE_EXE,
                {"-f", "-qq", "-o", "/dev/null", "-e", "trace=rename", "-e", "inject=rename:signal=KILL:when=3",
                 WINTER_EXE, "7", "7"},
                dir.path());
    ASSERT_TRUE(file_exists(dir / ".seedbank.journal"));
    program_result next = run_program(WINTER_EXE, {"7", "7"}, dir.path());
    EXPECT_EQ(next.exit_status, 0);
    EXPECT_EQ(next.err, "winter: rolled back an interrupted commit of 6 files in .: they are as they were before "
                        "that run\n");
    EXPECT_TRUE(stored(dir.path()) == new_year());
}

}  // namespace
