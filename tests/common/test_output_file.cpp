// All-or-nothing outputs: nothing reaches its destination before the commit,
// nothing is left behind by a run that ends early, and failures are reported.
#include <filesystem>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "output_file.h"
#include "program_edge.h"
#include "program_run.h"

using namespace seedbank;

namespace fs = std::filesystem;

namespace {

// The outputs of one test run, pending until committed.
std::vector<output_file> pending_outputs;

// Writes `text` to the output `name` and keeps it pending; a failure ends
// the (child) process the way a program's main does.
void write_text(const std::string &name, const std::string &text)
{
    outcome<output_file> file = open_output(name);
    if (!file)
        std::exit(report_failure(file.error()));
    std::fputs(text.c_str(), file.value().stream());
    if (status closed = close_output(file.value()); !closed)
        std::exit(report_failure(closed.error()));
    pending_outputs.push_back(std::move(file.value()));
}

void commit_outputs()
{
    if (status committed = commit_outputs(pending_outputs); !committed)
        std::exit(report_failure(committed.error()));
    pending_outputs.clear();
}

TEST(OutputFile, NothingMovesBeforeTheCommit)
{
    scratch_directory dir;
    write_file(dir / "a.txt", "old a\n");
    write_text(dir / "a.txt", "new a\n");
    write_text(dir / "b.txt", "new b\n");
    auto pending = snapshot(dir.path());
    EXPECT_EQ(read_file(dir / "a.txt"), "old a\n");
    EXPECT_FALSE(file_exists(dir / "b.txt"));
    EXPECT_EQ(pending.size(), 3u) << "the old file and two temporary files";

    commit_outputs();
    auto committed = snapshot(dir.path());
    EXPECT_EQ(committed, (std::map<std::string, std::string>{{"a.txt", "new a\n"}, {"b.txt", "new b\n"}}));
}

TEST(OutputFile, EndingBeforeTheCommitLeavesEverythingAsItWas)
{
    scratch_directory dir;
    write_file(dir / "a.txt", "old a\n");
    auto before = snapshot(dir.path());
    EXPECT_EXIT(
        {
            remove_outputs_on_interrupt();
            write_text(dir / "a.txt", "new a\n");
            write_text(dir / "b.txt", "new b\n");
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_EQ(snapshot(dir.path()), before);
}

TEST(OutputFile, KeepsTheModeOfAReplacedFileAndTheUmaskOfANewOne)
{
    scratch_directory dir;
    write_file(dir / "old.txt", "x");
    chmod((dir / "old.txt").c_str(), 0640);
    mode_t mask = umask(022);
    write_text(dir / "old.txt", "y");
    write_text(dir / "new.txt", "z");
    commit_outputs();
    umask(mask);
    struct stat status;
    ASSERT_EQ(stat((dir / "old.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    ASSERT_EQ(stat((dir / "new.txt").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0644u);
}

TEST(OutputFile, ASymbolicLinkKeepsPointingAtTheNewContent)
{
    scratch_directory dir;
    fs::create_directory(dir / "store");
    write_file(dir / "store/map.txt", "old");
    fs::create_symlink("store/map.txt", dir / "link.txt");
    write_text(dir / "link.txt", "new");
    commit_outputs();
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_EQ(read_file(dir / "store/map.txt"), "new");
    EXPECT_EQ(snapshot(dir.path()).size(), 3u) << "no temporary file left in either directory";
}

TEST(OutputFile, ALinkToAFileNotYetThereCreatesIt)
{
    scratch_directory dir;
    fs::create_directory(dir / "store");
    fs::create_symlink("store/map.txt", dir / "link.txt");
    write_text(dir / "link.txt", "new");
    commit_outputs();
    EXPECT_TRUE(fs::is_symlink(dir / "link.txt"));
    EXPECT_EQ(read_file(dir / "store/map.txt"), "new");
    EXPECT_EQ(snapshot(dir.path()).size(), 3u);
}

struct failure_case {
    const char *name;
    void (*set_up)(const scratch_directory &);
    bool open_fails;  // then "Can't open output file" is on standard output
    const char *reason;
};

void nothing(const scratch_directory &) {}
void directory_in_the_way(const scratch_directory &dir) { fs::create_directory(dir / "out.txt"); }
void full_disk_behind_the_name(const scratch_directory &dir) { fs::create_symlink("/dev/full", dir / "out.txt"); }

struct child_result {
    int exit_status;
    std::string out, err;
};

// Runs `body` in a forked child inside `dir` and returns what it printed.
template <typename Body> child_result run_in_child(const scratch_directory &dir, Body body)
{
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.path().c_str()) != 0)
            _exit(99);
        remove_outputs_on_interrupt();  // as every program's main does
        body();
        std::exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    child_result result;
    result.out = testing::internal::GetCapturedStdout();
    result.err = testing::internal::GetCapturedStderr();
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class OutputFileFailure : public ::testing::TestWithParam<failure_case> {};

// A failing output ends the run with status 1, names the file and the reason,
// and takes the other pending outputs down with it.
TEST_P(OutputFileFailure, EndsWithStatusOneNamingTheFile)
{
    const failure_case &c = GetParam();
    scratch_directory dir;
    write_file(dir / "kept.txt", "kept\n");
    c.set_up(dir);
    std::string name = c.name;
    auto before = snapshot(dir.path());
    child_result run = run_in_child(dir, [&] {
        write_text("kept.txt", "replaced\n");
        write_text(name, std::string(100000, 'x'));
        commit_outputs();
    });
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, c.open_fails ? "Can't open output file " + name + "\n" : "");
    EXPECT_NE(run.err.find(name + ": " + c.reason), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(dir.path()), before);
}

void PrintTo(const failure_case &c, std::ostream *out) { *out << c.reason; }

const std::string long_name = std::string(300, 'n') + ".txt";

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputFileFailure,
    ::testing::Values(failure_case{"out.txt", directory_in_the_way, true, "Is a directory"},
                      failure_case{"missing/out.txt", nothing, true, "No such file or directory"},
                      failure_case{"out.txt", full_disk_behind_the_name, false, "cannot write: No space left on device"},
                      failure_case{long_name.c_str(), nothing, true, "File name too long"}));

TEST(OutputFile, FileSizeLimitIsAWriteFailure)
{
    scratch_directory dir;
    write_file(dir / "out.txt", "old\n");
    auto before = snapshot(dir.path());
    child_result run = run_in_child(dir, [] {
        std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        write_text("out.txt", std::string(100000, 'x'));
        commit_outputs();
    });
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.err.find("out.txt: cannot write: File too large"), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(dir.path()), before);
}

}  // namespace
