// Golden outputs: stored runs of the programs on fixed inputs, with the
// standard output, exit status and every file they wrote, byte for byte.
// They were recorded from a build whose outputs had been checked
// independently (make_cases.sh); they are never regenerated to make a test
// pass.  Each case directory holds input/, command, stdout, status and
// output/ (see make_cases.sh).
#include <algorithm>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <cstdio>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "program_run.h"
#include "seedling_generator.h"

using namespace seedbank::generate;

namespace fs = std::filesystem;

namespace {

struct golden_case {
    std::string name;
    fs::path directory;
};

void PrintTo(const golden_case &c, std::ostream *out)
{
    *out << c.name;
}

std::vector<golden_case> all_cases()
{
    std::vector<golden_case> cases;
    for (const fs::directory_entry &entry : fs::directory_iterator(GOLDEN_CASES_DIR))
        if (entry.is_directory())
            cases.push_back({entry.path().filename().string(), entry.path()});
    std::sort(cases.begin(), cases.end(), [](const golden_case &a, const golden_case &b) { return a.name < b.name; });
    return cases;
}

std::string program_path(const std::string &program)
{
    if (program == "winter")
        return WINTER_EXE;
    if (program == "blockmap")
        return BLOCKMAP_EXE;
    if (program == "stepmap")
        return STEPMAP_EXE;
    ADD_FAILURE() << "unknown program " << program;
    return "";
}

// generate seeds its stream from the clock: its case runs the program's own
// entry with the clock reading the case names, in a child process.
program_result run_generate(const std::vector<std::string> &words, const std::string &directory)
{
    scratch_directory capture;
    const std::string out_path = capture / "stdout";
    pid_t child = fork();
    if (child == 0) {
        if (chdir(directory.c_str()) != 0 || std::freopen(out_path.c_str(), "w", stdout) == nullptr)
            _exit(127);
        generate_seedlings(words.at(0).c_str(), std::atoll(words.at(1).c_str()));
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    program_result result;
    result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = read_file(out_path);
    return result;
}

class Golden : public ::testing::TestWithParam<golden_case> {};

TEST_P(Golden, RunGivesTheStoredOutputByteForByte)
{
    const fs::path &dir = GetParam().directory;
    const std::vector<std::string> words = lines_of(read_file((dir / "command").string()));
    ASSERT_FALSE(words.empty());
    const std::vector<std::string> arguments(words.begin() + 1, words.end());

    scratch_directory scratch;
    if (fs::exists(dir / "input"))
        fs::copy(dir / "input", scratch.path(), fs::copy_options::recursive);
    const std::map<std::string, std::string> before = snapshot(scratch.path());

    const program_result run = words[0] == "generate" ? run_generate(arguments, scratch.path())
                                                       : run_program(program_path(words[0]), arguments, scratch.path());
    EXPECT_EQ(run.out, read_file((dir / "stdout").string()));
    EXPECT_EQ(std::to_string(run.exit_status) + "\n", read_file((dir / "status").string()));

    // Every file now in the directory is an unchanged input or a stored output.
    std::map<std::string, std::string> expected = before;
    for (const auto &[name, content] : snapshot((dir / "output").string()))
        expected[name] = content;
    const std::map<std::string, std::string> after = snapshot(scratch.path());
    for (const auto &[name, content] : expected) {
        const auto found = after.find(name);
        ASSERT_NE(found, after.end()) << name << " was not written";
        EXPECT_TRUE(found->second == content) << name << " differs from the stored output";
    }
    for (const auto &[name, content] : after)
        EXPECT_TRUE(expected.count(name)) << "unexpected file " << name;
}

INSTANTIATE_TEST_SUITE_P(Cases, Golden, ::testing::ValuesIn(all_cases()),
                         [](const ::testing::TestParamInfo<golden_case> &case_info) { return case_info.param.name; });

}  // namespace
