// Hostile command lines: missing arguments, empty ones, very long ones, path
// separators and bytes that are not ASCII.  A run either completes with its
// outputs (a strange but usable name is just a name) or ends with exit
// status 1 and a message naming the file it could not use, having created
// nothing.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "fixture_maps.h"
#include "hostile_runs.h"
#include "program_run.h"


namespace fs = std::filesystem;

namespace {

using setup_step = std::function<void(const std::string &directory)>;

struct argument_case {
    std::string name;
    const char *executable;
    std::vector<std::string> arguments;
    setup_step setup;
    std::vector<std::string> outputs;  // empty: the run must fail
    std::string named;                 // the file the failure names; empty: usage message
};

const std::string long_text(10000, 'a');
const std::string long_path = std::string(5000, 'd') + "/" + std::string(4999, 'm');

setup_step winter_maps(const std::string &label)
{
    return [label](const std::string &directory) { write_small_winter_inputs(directory, label); };
}

setup_step one_map(const std::string &path)
{
    return [path](const std::string &directory) {
        fs::path map = fs::path(directory) / path;
        fs::create_directories(map.parent_path());
        write_seed_map_file(map.string(), 3, 3, [](int x, int y) { return x + y; });
    };
}

void nothing(const std::string &) {}

std::vector<argument_case> argument_cases()
{
    std::vector<argument_case> cases = {
        {"winter_no_arguments", WINTER_EXE, {}, winter_maps("1"), {}, ""},
        {"winter_one_argument", WINTER_EXE, {"1"}, winter_maps("1"), {}, ""},
        {"winter_empty_labels", WINTER_EXE, {"", ""}, nothing, {}, "Dorm5_Yr.png"},
        {"winter_empty_labels_with_maps", WINTER_EXE, {"", "2"}, winter_maps(""), winter_outputs("2"), ""},
        {"winter_long_input_label", WINTER_EXE, {long_text, "2"}, nothing, {}, "Dorm5_Yr" + long_text + ".png"},
        {"winter_label_with_separators", WINTER_EXE, {"../1", "2"}, nothing, {}, "Dorm5_Yr../1.png"},
        {"winter_label_naming_directories", WINTER_EXE, {"sub/1", "2"}, winter_maps("sub/1"), winter_outputs("2"),
         ""},
        {"winter_label_like_an_option", WINTER_EXE, {"--", "-h", "2"}, nothing, {}, "Dorm5_Yr-h.png"},
        {"winter_negative_label", WINTER_EXE, {"-1", "2"}, nothing, {}, "Dorm5_Yr-1.png"},
        {"winter_negative_labels_with_maps", WINTER_EXE, {"-1", "-2"}, winter_maps("-1"), winter_outputs("-2"), ""},
        {"winter_non_ascii_labels", WINTER_EXE, {"année", "été"}, winter_maps("année"), winter_outputs("été"), ""},
        {"winter_non_ascii_missing", WINTER_EXE, {"année", "2"}, nothing, {}, "Dorm5_Yrannée.png"},
        {"winter_invalid_utf8_labels", WINTER_EXE, {"\xff\xfe", "\xc3"}, winter_maps("\xff\xfe"),
         winter_outputs("\xc3"), ""},
    };
    for (const auto &[program, executable] : {std::pair{"blockmap", BLOCKMAP_EXE}, {"stepmap", STEPMAP_EXE}}) {
        const std::string p = program;
        const std::vector<argument_case> summary_cases = {
            {"no_arguments", executable, {}, one_map("map.png"), {}, ""},
            {"empty_path", executable, {""}, one_map("map.png"), {}, ""},
            {"long_name", executable, {long_text}, nothing, {}, long_text},
            {"long_path", executable, {long_path}, nothing, {}, long_path},
            {"missing_directory", executable, {"no/such/dir/map.png"}, nothing, {}, "no/such/dir/map.png"},
            {"path_in_a_subdirectory", executable, {"sub/dir/map.png"}, one_map("sub/dir/map.png"), {"summary.png"},
             ""},
            {"path_climbing_back", executable, {"sub/../map.png"}, one_map("map.png"), {}, "sub/../map.png"},
            {"path_like_an_option", executable, {"--", "-h"}, nothing, {}, "-h"},
            {"map_like_an_option", executable, {"--", "-m.png"}, one_map("-m.png"), {"summary.png"}, ""},
            {"non_ascii_name", executable, {"карта.png"}, one_map("карта.png"), {"summary.png"}, ""},
            {"invalid_utf8_name", executable, {"\xff\xfe.png"}, one_map("\xff\xfe.png"), {"summary.png"}, ""},
            {"directory", executable, {"sub"}, [](const std::string &d) { fs::create_directory(d + "/sub"); }, {},
             "sub"},
            {"device", executable, {"/dev/zero"}, nothing, {}, "/dev/zero"},
        };
        for (argument_case c : summary_cases) {
            c.name = p + "_" + c.name;
            cases.push_back(c);
        }
    }
    return cases;
}

void PrintTo(const argument_case &c, std::ostream *out)
{
    *out << c.name;
}

class HostileArguments : public ::testing::TestWithParam<argument_case> {};

TEST_P(HostileArguments, RunCompletesOrFailsNamingTheFile)
{
    const argument_case &c = GetParam();
    scratch_directory scratch;
    c.setup(scratch.path());
    const auto before = snapshot(scratch.path());
    const program_result result = run_program(c.executable, c.arguments, scratch.path());
    if (!c.outputs.empty()) {
        expect_completed(result, c.outputs, before, scratch.path());
        return;
    }
    expect_clean_failure(result, c.named, before, scratch.path());
    EXPECT_FALSE(result.err.empty()) << "no message on standard error";
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileArguments, ::testing::ValuesIn(argument_cases()),
                         [](const ::testing::TestParamInfo<argument_case> &case_info) { return case_info.param.name; });

}  // namespace
