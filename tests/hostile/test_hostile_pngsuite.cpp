// The PNG conformance suite through winter (as the fresh-seed map, read
// last, when the other cohorts' outputs are already pending), blockmap and
// stepmap: each run either completes with the program's outputs or ends
// with exit status 1 and a message naming the file, having created or
// changed nothing.  Which of the two must agree with the reader's own
// verdict on the file.
//
// The summarisers take every file.  A winter run writes five full-size maps
// whatever it reads, so winter takes one file of each kind (colour type, bit
// depth, interlacing) and every corrupt file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gd.h>

#include "hostile_runs.h"
#include "program_run.h"
#include "seed_map.h"

using namespace seedbank;

namespace fs = std::filesystem;

namespace {

struct program_case {
    const char *name;
    const char *executable;
};

void PrintTo(const program_case &program, std::ostream *out)
{
    *out << program.name;
}

// Suite files are named by kind: "basn3p08" is interlace flag 'n' (not
// interlaced), colour type 3 (palette), 8 bits; names starting with 'x' are
// deliberately corrupt, each in its own way.
std::string kind_of(const std::string &file_name)
{
    if (file_name.size() != 12 || file_name[0] == 'x')
        return file_name;
    return file_name.substr(3, 5);
}

std::vector<fs::path> suite_files(bool one_of_each_kind)
{
    std::vector<fs::path> files;
    for (const fs::directory_entry &entry : fs::directory_iterator(PNGSUITE_DIR))
        if (entry.path().extension() == ".png")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    if (one_of_each_kind) {
        std::set<std::string> kinds;
        std::erase_if(files, [&](const fs::path &path) {
            return !kinds.insert(kind_of(path.filename().string())).second;
        });
    }
    return files;
}

bool reader_accepts(const std::string &bytes)
{
    std::string reason;
    gdImagePtr map = decode_seed_map(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), reason);
    if (map == nullptr)
        return false;
    gdImageDestroy(map);
    return true;
}

// Runs `program` on the suite file `bytes` in a fresh directory and checks
// the outcome.
void run_on_suite_file(const program_case &program, const std::string &file_name, const std::string &bytes)
{
    scratch_directory scratch;
    const bool is_winter = std::string(program.name) == "winter";
    std::string map_name = file_name;
    std::vector<std::string> arguments{file_name};
    std::vector<std::string> outputs{"summary.png"};
    if (is_winter) {
        write_small_winter_inputs(scratch.path(), "1");
        map_name = "Seeds_Yr1.png";
        arguments = {"1", "2"};
        outputs = winter_outputs("2");
    }
    write_file(scratch / map_name, bytes);

    const auto before = snapshot(scratch.path());
    const program_result result = run_program(program.executable, arguments, scratch.path());
    if (reader_accepts(bytes))
        expect_completed(result, outputs, before, scratch.path());
    else
        expect_clean_failure(result, map_name, before, scratch.path());
}

class HostilePngSuite : public testing::TestWithParam<program_case> {};

TEST_P(HostilePngSuite, EveryFileCompletesOrFailsCleanly)
{
    ASSERT_TRUE(fs::is_directory(PNGSUITE_DIR)) << "PNG suite missing at " << PNGSUITE_DIR;
    const bool is_winter = std::string(GetParam().name) == "winter";
    const std::vector<fs::path> files = suite_files(is_winter);
    ASSERT_GT(files.size(), is_winter ? 30u : 150u);
    for (const fs::path &path : files) {
        SCOPED_TRACE(path.filename().string());
        run_on_suite_file(GetParam(), path.filename().string(), read_file(path.string()));
        if (HasFatalFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, HostilePngSuite,
                         testing::Values(program_case{"winter", WINTER_EXE}, program_case{"blockmap", BLOCKMAP_EXE},
                                         program_case{"stepmap", STEPMAP_EXE}),
                         [](const testing::TestParamInfo<program_case> &case_info) { return case_info.param.name; });

}  // namespace
